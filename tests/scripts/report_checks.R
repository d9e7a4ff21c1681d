# R's side of the script checks (ape):
#   Rscript report_checks.R write MATRIX            the matrix as write.table and write.csv (with NA) write it
#   Rscript report_checks.R newick NEWICK TABLE NAMES  read.tree reads a --newick file: its leaves, the
#                                                   --clusters TABLE's confidences, merge heights and
#                                                   cophenetic distances
library(ape)
args <- commandArgs(trailingOnly = TRUE)
if (args[1] == "write") {
    x <- read.table(args[2], skip = 2, row.names = 1, check.names = FALSE)
    colnames(x) <- scan(args[2], what = "", skip = 1, nlines = 1, quiet = TRUE)
    write.table(x, "r-table.txt", sep = "\t", quote = TRUE)
    x[3, 2] <- NA
    write.csv(x, "r-na.csv")
} else {
    tree <- read.tree(args[2])
    steps <- read.delim(args[3], comment.char = "#")
    stopifnot(all.equal(sort(as.numeric(tree$node.label)), sort(steps$confidence), tolerance = 0))
    rel <- function(a, b) max(abs(a - b) / pmax(abs(b), 1e-300))
    stopifnot(rel(sort(as.hclust(tree)$height), sort(steps$height)) <= 1e-12)
    d <- cophenetic(tree)
    stopifnot(rel(sort(unique(signif(d[upper.tri(d)], 12))), signif(sort(unique(steps$height)), 12)) <= 1e-12)
    # read.tree keeps the quotes of quoted names
    stopifnot(setequal(gsub("''", "'", gsub("^'(.*)'$", "\\1", tree$tip.label)), readLines(args[4], encoding = "UTF-8")))
}
