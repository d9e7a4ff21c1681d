# The R face of the noiseclust engine: checks the arguments, hands the
# matrices to the compiled run and shapes its results as hclust and ape
# objects.

noiseclust <- function(x, se = NULL, scale = NULL, nboot = 500, distance = "euclidean",
                       linkage = "average", preprocess = NULL, cluster = c("rows", "columns"),
                       threads = NULL, seed = NULL, missing = c("refuse", "drop-rows")) {
    cl <- match.call()
    cluster <- match.arg(cluster)
    missing <- match.arg(missing)
    if (!is.null(seed) && !(is.numeric(seed) && length(seed) == 1 && !is.na(seed) &&
                            seed >= 0 && seed <= 2^53 && seed == floor(seed)))
        stop("seed must be NULL or one whole number from 0 to 2^53", call. = FALSE)
    data <- as_numeric_matrix(x, "x")
    errors <- NULL
    if (!is.null(se)) {
        errors <- as_numeric_matrix(se, "se")
        if (!identical(dim(errors), dim(data)))
            stop(sprintf("se has %d rows and %d columns, x %d rows and %d columns: give one standard error per value",
                         nrow(errors), ncol(errors), nrow(data), ncol(data)), call. = FALSE)
    }
    if (is.null(se) == is.null(scale))
        stop("give exactly one of se (standard errors of x) and scale", call. = FALSE)
    if (!is.null(scale) && !(is.numeric(scale) && length(scale) == 1 && is.finite(scale) && scale > 0))
        stop("the scale of error must be a positive number", call. = FALSE)
    nboot <- whole_number(nboot, "nboot", 1, .Machine$integer.max)
    threads <- if (is.null(threads)) 0L else whole_number(threads, "threads", 0, 256)
    for (arg in c("distance", "linkage"))
        if (!(is.character(get(arg)) && length(get(arg)) == 1 && !is.na(get(arg))))
            stop(arg, " must be one text", call. = FALSE)
    if (!is.null(preprocess) && !(is.character(preprocess) && length(preprocess) == 1 && !is.na(preprocess)))
        stop("preprocess must be NULL or one text such as \"row:log\"", call. = FALSE)

    out <- .Call(nc_run, data, errors, if (is.null(scale)) 0 else as.double(scale), nboot,
                 distance, linkage, if (is.null(preprocess)) "" else preprocess,
                 cluster == "columns", threads, names_of(rownames(data)), names_of(colnames(data)),
                 missing == "drop-rows", if (is.null(seed)) NULL else as.double(seed))
    if (!is.null(out$problem)) stop(out$problem, call. = FALSE)
    if (nzchar(out$warnings)) warning(out$warnings, call. = FALSE)

    labels <- if (cluster == "columns") colnames(data) else rownames(data)
    if (!is.null(labels) && length(out$dropped)) labels <- labels[-out$dropped]
    n <- length(out$order)
    hc <- structure(list(merge = out$merge, height = out$height, order = out$order,
                         labels = labels, method = linkage, call = cl,
                         dist.method = distance),
                    class = "hclust")
    sizes <- integer(n - 1)
    for (s in seq_len(n - 1))
        sizes[s] <- sum(vapply(out$merge[s, ], function(m) if (m < 0) 1L else sizes[m], 1L))
    label_of <- function(rows) if (is.null(labels)) rows else labels[rows]
    clusters <- list(members = lapply(out$consensus_members, label_of),
                     confidence = out$consensus_values)
    tree <- NULL
    if (nzchar(out$consensus_newick) && requireNamespace("ape", quietly = TRUE))
        tree <- ape::read.tree(text = out$consensus_newick)
    structure(list(hclust = hc,
                   confidence = data.frame(step = seq_len(n - 1), size = sizes,
                                           height = out$height, confidence = out$support,
                                           se = sqrt(out$support * (1 - out$support) / nboot)),
                   consensus = if (is.null(tree)) clusters else tree,
                   consensus_clusters = clusters,
                   newick = out$newick, consensus_newick = out$consensus_newick,
                   dropped = out$dropped, nboot = nboot, call = cl),
              class = "noiseclust")
}

as_numeric_matrix <- function(x, what) {
    if (is.data.frame(x)) {
        bad <- !vapply(x, function(column) is.numeric(column) || is.logical(column), TRUE)
        if (any(bad))
            stop(sprintf("%s: column %s is not numeric", what, sQuote(names(x)[which(bad)[1]])),
                 call. = FALSE)
        x <- as.matrix(x)  # automatic row names are dropped
    }
    if (!is.matrix(x)) stop(what, " must be a numeric matrix or a data frame", call. = FALSE)
    if (!(is.numeric(x) || is.logical(x)))
        stop(sprintf("%s must hold numbers, not %s values", what, typeof(x)), call. = FALSE)
    storage.mode(x) <- "double"
    x
}

whole_number <- function(value, what, lowest, highest) {
    if (!(is.numeric(value) && length(value) == 1 && is.finite(value) && value == round(value) &&
          value >= lowest && value <= highest))
        stop(sprintf("%s must be a whole number from %s to %s", what, format(lowest),
                     format(highest)), call. = FALSE)
    as.integer(value)
}

names_of <- function(names) if (is.null(names)) character(0) else as.character(names)

print.noiseclust <- function(x, digits = 3, ...) {
    n <- length(x$hclust$order)
    cat("noiseclust: ", n, " objects, ", x$nboot, " resampled data sets, ",
        x$hclust$dist.method, " distance, ", x$hclust$method, " linkage\n", sep = "")
    if (length(x$dropped)) cat("rows left out for missing values:", x$dropped, "\n")
    cat("\nConfidence of each merge step of the first tree:\n")
    print(x$confidence, digits = digits, row.names = FALSE)
    cat("\nMajority-rule consensus: ", length(x$consensus_clusters$confidence), " clusters\n",
        sep = "")
    invisible(x)
}

# The x position of every merge step's node as plot.hclust draws it.
node_positions <- function(hc) {
    merge <- hc$merge
    leaf_x <- integer(length(hc$order))
    leaf_x[hc$order] <- seq_along(hc$order)
    x <- numeric(nrow(merge))
    side <- function(m) if (m < 0) leaf_x[-m] else x[m]
    for (s in seq_len(nrow(merge))) x[s] <- (side(merge[s, 1]) + side(merge[s, 2])) / 2
    x
}

plot.noiseclust <- function(x, digits = 2, col.values = 2, cex.values = 0.8,
                            main = "Confidence under measurement noise", xlab = "", sub = "",
                            ...) {
    hc <- x$hclust
    plot(hc, main = main, xlab = xlab, sub = sub, ...)
    text(node_positions(hc), hc$height, format(round(x$confidence$confidence, digits)),
         pos = 3, offset = 0.2, col = col.values, cex = cex.values, xpd = TRUE)
    invisible(x)
}

# The outermost merge steps with a confidence of at least threshold.
picked_steps <- function(x, threshold) {
    if (!(is.numeric(threshold) && length(threshold) == 1 && !is.na(threshold)))
        stop("threshold must be a number", call. = FALSE)
    .Call(nc_pick, x$hclust$merge, x$confidence$confidence, as.double(threshold))
}

step_members <- function(merge, s) {
    m <- merge[s, ]
    unlist(lapply(m, function(k) if (k < 0) -k else step_members(merge, k)))
}

ncpick <- function(x, threshold = 0.95) {
    steps <- picked_steps(x, threshold)
    labels <- x$hclust$labels
    list(clusters = lapply(steps, function(s) {
             rows <- step_members(x$hclust$merge, s)
             if (is.null(labels)) rows else labels[rows]
         }),
         steps = steps, confidence = x$confidence$confidence[steps])
}

ncrect <- function(x, threshold = 0.95, border = 2, ...) {
    steps <- picked_steps(x, threshold)
    hc <- x$hclust
    leaf_x <- integer(length(hc$order))
    leaf_x[hc$order] <- seq_along(hc$order)
    bottom <- par("usr")[3]
    lift <- diff(range(hc$height)) * 0.02
    for (s in steps) {
        span <- range(leaf_x[step_members(hc$merge, s)])
        rect(span[1] - 0.4, bottom, span[2] + 0.4, hc$height[s] + lift, border = border, ...)
    }
    invisible(steps)
}
