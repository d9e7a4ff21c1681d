# R's side of own_data_check.sh: writes the example as write.table and
# write.csv (with NA) files, then (with "trees") reads a --newick file.
library(ape)
args <- commandArgs(trailingOnly = TRUE)
if (args[1] == "write") {
    f <- args[2]
    x <- read.table(f, skip = 2, row.names = 1, check.names = FALSE)
    colnames(x) <- scan(f, what = "", skip = 1, nlines = 1, quiet = TRUE)
    write.table(x, "r-table.txt", sep = "\t", quote = TRUE)
    x[3, 2] <- NA
    write.csv(x, "r-na.csv")
} else {
    tree <- read.tree(args[2])
    steps <- read.delim(args[3], comment.char = "#")
    stopifnot(all.equal(sort(as.numeric(tree$node.label)), sort(steps$confidence), tolerance = 0))
    hc <- as.hclust(tree)
    rel <- function(a, b) max(abs(a - b) / pmax(abs(b), 1e-300))
    stopifnot(rel(sort(hc$height), sort(steps$height)) <= 1e-12)
    d <- cophenetic(tree)
    stopifnot(rel(sort(unique(signif(d[upper.tri(d)], 12))), signif(sort(unique(steps$height)), 12)) <= 1e-12)
    # read.tree keeps the quotes of quoted names
    labels <- gsub("''", "'", gsub("^'(.*)'$", "\\1", tree$tip.label))
    names <- if (length(args) > 3) readLines(args[4]) else labels
    stopifnot(setequal(labels, names))
}
