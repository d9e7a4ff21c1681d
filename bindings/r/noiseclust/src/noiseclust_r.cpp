// The compiled side of the R package: R matrices in, the first tree in
// hclust's form, its confidence values and the consensus out. The run goes on
// a thread of its own while R's thread looks for a user interrupt every
// tenth of a second; R's API is only ever called from R's thread.

#include <cstdint>
#include <Rcpp.h>
#include <R_ext/Rdynload.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "output/cluster_pick.h"
#include "output/newick.h"
#include "run/in_memory_run.h"
#include "run/run_stop.h"

namespace {

DataMatrix matrixOf(const Rcpp::NumericMatrix& x) {
    // R stores by column, the engine by row.
    DataMatrix m = allocateMatrix(x.nrow(), x.ncol());
    for (int r = 0; r < x.nrow(); ++r)
        for (int c = 0; c < x.ncol(); ++c) m.at(r, c) = x(r, c);
    return m;
}

NameTable namesOf(const Rcpp::CharacterVector& names) {
    NameTable table;
    for (R_xlen_t i = 0; i < names.size(); ++i)
        table.push_back(Rcpp::CharacterVector::is_na(names[i]) ? "NA"
                                                               : Rcpp::as<std::string>(names[i]));
    return table;
}

void checkInterrupt(void*) { R_CheckUserInterrupt(); }

// True when the user has asked to interrupt; R_ToplevelExec keeps R's
// long jump from skipping the destructors on this stack.
bool interruptPending() { return R_ToplevelExec(checkInterrupt, nullptr) == FALSE; }

Rcpp::List problem(const std::string& text) { return Rcpp::List::create(Rcpp::_["problem"] = text); }

}  // namespace

extern "C" SEXP nc_run(SEXP data, SEXP errors, SEXP scale, SEXP samples, SEXP distance,
                       SEXP linkage, SEXP preprocess, SEXP columns, SEXP threads, SEXP rowNames,
                       SEXP columnNames, SEXP dropMissing, SEXP seed) {
    BEGIN_RCPP
    RunSettings settings;
    // R has no 64-bit integers: a seed comes as a whole double (checked in R).
    if (!Rf_isNull(seed)) settings.seed = static_cast<std::uint64_t>(Rcpp::as<double>(seed));
    settings.sampleSize = Rcpp::as<int>(samples);
    settings.threadCount = Rcpp::as<int>(threads);
    const auto distanceName = Rcpp::as<std::string>(distance);
    const auto linkageName = Rcpp::as<std::string>(linkage);
    const auto preprocessName = Rcpp::as<std::string>(preprocess);
    if (const auto metric = distanceOfName(distanceName)) settings.distance = *metric;
    else return problem("unknown distance \"" + distanceName +
                        "\"; use euclidean, correlation, maximum, manhattan or binary");
    if (const auto method = linkageOfName(linkageName)) settings.linkage = *method;
    else return problem("unknown linkage \"" + linkageName +
                        "\"; use average, complete (compact) or single (connected)");
    if (!preprocessName.empty()) {
        const auto choice = preprocessingOfName(preprocessName);
        if (!choice)
            return problem("unknown preprocessing \"" + preprocessName +
                           "\"; use DIRECTION:METHOD, DIRECTION row or column, METHOD log, "
                           "normal, meancenter, mediancenter or max");
        settings.preprocess = true;
        settings.preprocessDirection = choice->direction;
        settings.preprocessMethod = choice->method;
    }
    InMemoryInputs inputs;
    inputs.data = matrixOf(Rcpp::NumericMatrix(data));
    settings.withErrorFile = !Rf_isNull(errors);
    if (settings.withErrorFile) inputs.errors = matrixOf(Rcpp::NumericMatrix(errors));
    else settings.scaleOfError = Rcpp::as<double>(scale);
    inputs.rowNames = namesOf(rowNames);
    inputs.columnNames = namesOf(columnNames);
    if (Rcpp::as<bool>(columns)) transposeInputs(inputs);
    std::vector<int> dropped;
    if (Rcpp::as<bool>(dropMissing)) dropped = dropRowsWithMissingValues(inputs);
    if (const std::string text = inMemoryRunProblem(settings, inputs); !text.empty())
        return problem(text);
    const NameTable names = inputs.rowNames;
    const bool hasNames = !names.empty();

    clearRunStop();
    auto running = std::async(std::launch::async, runInMemory, settings, std::move(inputs));
    while (running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (interruptPending()) {
            requestRunStop();
            running.wait();
            clearRunStop();
            throw Rcpp::internal::InterruptedException();
        }
    }
    const InMemoryOutcome outcome = running.get();
    if (outcome.status != 0) return problem(outcome.messages);

    const RunResults& results = outcome.results;
    const MergeTree& tree = results.firstTree;
    const auto pairs = mergePairsInLeafOrder(tree);
    Rcpp::IntegerMatrix merge(tree.stepCount(), 2);
    for (int s = 0; s < tree.stepCount(); ++s) {
        merge(s, 0) = pairs[index(s)].member0;
        merge(s, 1) = pairs[index(s)].member1;
    }
    const ConsensusTree& consensus = results.consensus.consensusTree;
    Rcpp::List members(consensus.nodeCount());
    for (int i = 0; i < consensus.nodeCount(); ++i)
        members[i] = Rcpp::wrap(consensus.members[index(i)]);
    for (int& row : dropped) ++row;
    return Rcpp::List::create(
        Rcpp::_["merge"] = merge, Rcpp::_["height"] = Rcpp::wrap(tree.heights),
        Rcpp::_["order"] = Rcpp::wrap(tree.leafOrder),
        Rcpp::_["support"] = Rcpp::wrap(results.consensus.support),
        Rcpp::_["consensus_members"] = members,
        Rcpp::_["consensus_values"] = Rcpp::wrap(consensus.values),
        Rcpp::_["newick"] = newickOfFirstTree(tree, results.consensus.support, names, hasNames),
        Rcpp::_["consensus_newick"] = newickOfConsensusTree(consensus, names, hasNames),
        Rcpp::_["dropped"] = Rcpp::wrap(dropped), Rcpp::_["warnings"] = outcome.messages);
    END_RCPP
}

// The outermost steps (1-based) of an hclust merge matrix whose confidence
// is at least the threshold.
extern "C" SEXP nc_pick(SEXP mergeMatrix, SEXP confidence, SEXP threshold) {
    BEGIN_RCPP
    const Rcpp::IntegerMatrix merge(mergeMatrix);
    MergeTree tree(merge.nrow() + 1);
    for (int s = 0; s < merge.nrow(); ++s) tree.mergePairs[index(s)] = {merge(s, 0), merge(s, 1)};
    if (const std::string fault = mergeTreeProblem(tree); !fault.empty())
        Rcpp::stop("not a merge matrix of noiseclust: " + fault);
    std::vector<int> steps = outermostStepsAtLeast(
        tree, Rcpp::as<std::vector<double>>(confidence), Rcpp::as<double>(threshold));
    for (int& step : steps) ++step;
    return Rcpp::wrap(steps);
    END_RCPP
}

static const R_CallMethodDef callMethods[] = {
    {"nc_run", reinterpret_cast<DL_FUNC>(&nc_run), 13},
    {"nc_pick", reinterpret_cast<DL_FUNC>(&nc_pick), 3},
    {nullptr, nullptr, 0},
};

extern "C" void R_init_noiseclust(DllInfo* dll) {
    R_registerRoutines(dll, nullptr, callMethods, nullptr, nullptr);
    R_useDynamicSymbols(dll, FALSE);
}
