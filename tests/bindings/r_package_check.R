# The R package against the command line on the bundled example, R's view of
# its hclust, refused inputs and an interrupt during a run. Run by
# tests/scripts/r_package_check.sh (NOISECLUST_BINARY, NOISECLUST_SOURCE,
# the package installed in R_LIBS).
library(noiseclust)
binary <- Sys.getenv("NOISECLUST_BINARY")
example <- file.path(Sys.getenv("NOISECLUST_SOURCE"), "examples", "golub-top40.txt")
x <- read.table(example, skip = 1, header = TRUE, row.names = 1, check.names = FALSE)
fit <- noiseclust(x, scale = 0.1, threads = 2)

# The same numbers and clusters as the command line's cluster table.
work <- tempfile()
dir.create(work)
table <- file.path(work, "clusters.tsv")
stopifnot(system2(binary, c("--expression", example, "--scale", "0.1", "--output",
                            file.path(work, "report.txt"), "--clusters", table),
                  stdout = FALSE) == 0)
expected <- read.delim(table, colClasses = c(members = "character"), comment.char = "#")
members <- function(s) {
    m <- fit$hclust$merge[s, ]
    unlist(lapply(m, function(k) if (k < 0) fit$hclust$labels[-k] else members(k)))
}
stopifnot(identical(fit$hclust$height, expected$height),
          identical(fit$confidence$confidence, expected$confidence),
          identical(fit$confidence$size, expected$size),
          identical(lapply(seq_len(39), function(s) sort(members(s))),
                    lapply(strsplit(expected$members, ","), sort)),
          all.equal(fit$confidence$se, sqrt(expected$confidence * (1 - expected$confidence) / 500)))

# A valid hclust: cutree, as.dendrogram and plot work, the leaf order is the engine's.
stopifnot(identical(fit$hclust$labels, rownames(x)),
          length(unique(cutree(fit$hclust, k = 4))) == 4,
          identical(order.dendrogram(as.dendrogram(fit$hclust)), fit$hclust$order),
          nobs(as.dendrogram(fit$hclust)) == 40)
pdf(file.path(work, "plot.pdf"))
plot(fit)
picked <- ncrect(fit, 0.95)
invisible(dev.off())
stopifnot(file.size(file.path(work, "plot.pdf")) > 1000)
pick <- ncpick(fit, 0.95)
stopifnot(identical(pick$steps, picked), all(pick$confidence >= 0.95),
          !anyDuplicated(unlist(pick$clusters)))
invisible(capture.output(print(fit)))

# Columns of the transpose and an unnamed matrix give the same tree.
same <- list(noiseclust(t(x), scale = 0.1, cluster = "columns"),
             noiseclust(unname(as.matrix(x)), scale = 0.1, threads = 1))
for (other in same)
    stopifnot(identical(other$hclust$merge, fit$hclust$merge),
              identical(other$confidence, fit$confidence))

# Missing values: refused, or their rows left out on request.
holey <- x
holey[c(4, 8), 2] <- NA
dropped <- noiseclust(holey, scale = 0.1, nboot = 20, missing = "drop-rows")
stopifnot(identical(dropped$dropped, c(4L, 8L)), length(dropped$hclust$order) == 38,
          !(rownames(x)[4] %in% dropped$hclust$labels))

small <- matrix(1:6 + 0.5, 3, 2)
refused <- list(
    list(list(holey, scale = 0.1), "missing value"),
    list(list(data.frame(a = 1:3, b = c("x", "y", "z")), scale = 0.1), "column .b. is not numeric"),
    list(list(small[1, , drop = FALSE], scale = 0.1), "at least 2 rows"),
    list(list(small, se = matrix(1, 2, 3)), "one standard error per value"),
    list(list(small, se = -small), "negative"),
    list(list(small), "exactly one of se"),
    list(list(small, scale = -1), "positive number"),
    list(list(small, scale = 0.1, nboot = 0), "nboot"),
    list(list(small, scale = 0.1, distance = "cosine"), "unknown distance"),
    list(list(small, scale = 0.1, linkage = "ward"), "unknown linkage"),
    list(list(small, scale = 0.1, preprocess = "log"), "DIRECTION:METHOD"),
    list(list(small, scale = 0.1, seed = -1), "seed"),
    list(list(letters[1:4], scale = 0.1), "numeric matrix"))
for (case in refused) {
    message <- tryCatch({ do.call(noiseclust, case[[1]]); "no error" }, error = conditionMessage)
    if (!grepl(case[[2]], message)) stop("expected '", case[[2]], "', got: ", message)
}
stopifnot(identical(noiseclust(small, scale = 0.1, linkage = "single", nboot = 5)$hclust$method,
                    "single"))

# An interrupt stops a long run; the session carries on.
if (.Platform$OS.type == "unix") {
    system(sprintf("(sleep 1; kill -INT %d) >/dev/null 2>&1 &", Sys.getpid()))
    outcome <- tryCatch(noiseclust(x, scale = 0.1, nboot = 2e5, threads = 1),
                        interrupt = function(e) "interrupted")
    stopifnot(identical(outcome, "interrupted"))
    stopifnot(length(noiseclust(x, scale = 0.1, nboot = 10)$confidence$confidence) == 39)
}
cat("R package checks passed\n")
