# The R package against the command line on the bundled example (tree,
# confidence values and standard errors, seeds), R's view of its hclust, the
# picked clusters and refused inputs. Run by tests/scripts/r_package_check.sh
# (NOISECLUST_BINARY, NOISECLUST_SOURCE, the package installed in R_LIBS).
library(noiseclust)
example <- file.path(Sys.getenv("NOISECLUST_SOURCE"), "examples", "golub-top40.txt")
x <- read.table(example, skip = 1, header = TRUE, row.names = 1, check.names = FALSE)
fit <- noiseclust(x, scale = 0.1, nboot = 50, seed = 7, threads = 2)
work <- tempfile()
dir.create(work)
table <- file.path(work, "clusters.tsv")
stopifnot(system2(Sys.getenv("NOISECLUST_BINARY"), c("--expression", example, "--scale", "0.1",
    "--samples", "50", "--seed", "7", "--output", file.path(work, "r.txt"), "--clusters", table),
    stdout = FALSE) == 0)
expected <- read.delim(table, colClasses = c(members = "character"), comment.char = "#")
members <- function(s) {
    m <- fit$hclust$merge[s, ]
    unlist(lapply(m, function(k) if (k < 0) fit$hclust$labels[-k] else members(k)))
}
stopifnot(identical(fit$hclust$height, expected$height),
          identical(fit$confidence$confidence, expected$confidence),
          identical(lapply(seq_len(39), function(s) sort(members(s))),
                    lapply(strsplit(expected$members, ","), sort)),
          all.equal(fit$confidence$se, sqrt(expected$confidence * (1 - expected$confidence) / 50)))

# A valid hclust: cutree, as.dendrogram and plot work, the leaf order is the engine's;
# the rectangles drawn are around the picked clusters.
stopifnot(identical(fit$hclust$labels, rownames(x)), length(unique(cutree(fit$hclust, k = 4))) == 4,
          identical(order.dendrogram(as.dendrogram(fit$hclust)), fit$hclust$order))
pdf(file.path(work, "plot.pdf"))
plot(fit)
stopifnot(identical(ncpick(fit, 0.95)$steps, ncrect(fit, 0.95)))
invisible(dev.off())

small <- matrix(1:6 + 0.5, 3, 2)
refused <- list(
    list(list(replace(small, 2, NA), scale = 0.1), "missing value"),
    list(list(data.frame(a = 1:3, b = c("x", "y", "z")), scale = 0.1), "column .b. is not numeric"),
    list(list(small), "exactly one of se"),
    list(list(small, scale = 0.1, preprocess = "log"), "DIRECTION:METHOD"),
    list(list(letters[1:4], scale = 0.1), "numeric matrix"))
for (case in refused) {
    message <- tryCatch({ do.call(noiseclust, case[[1]]); "no error" }, error = conditionMessage)
    if (!grepl(case[[2]], message)) stop("expected '", case[[2]], "', got: ", message)
}
cat("R package checks passed\n")
