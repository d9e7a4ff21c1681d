#pragma once
// The three stages of a run after the report header: the first tree, the
// resampled trees and the consensus.

#include "cluster/merge_tree.h"
#include "consensus/consensus_stage.h"
#include "run/report_file.h"
#include "run/run_settings.h"
#include "data/data_matrix.h"
#include "data/name_table.h"

// What the run frame has read, handed to the stages. rawMatrix stays as read;
// workingMatrix starts as a copy and is overwritten by the stages.
struct RunInputs { DataMatrix rawMatrix, workingMatrix, errorMatrix; NameTable rowNames, columnNames; bool hasRowNames = false, hasColumnNames = false; bool hasErrorMatrix = false; };

// What the stages computed, for everything written after the report.
struct RunResults {
    MergeTree firstTree{0};      // the first tree with its merge heights and leaf order
    ConsensusResults consensus;  // support of each merge step, the consensus tree
    bool complete = false;       // false until the consensus is computed
};

// The number of clustering threads the run will use: the wanted number, or
// fewer when the machine's memory holds fewer; 0 when not even one fits.
int plannedThreads(const RunSettings& settings, const RunInputs& inputs);

// Runs the first-tree, resampling and consensus stages, writing their blocks
// into the report and their results into results. Returns 0 or the exit
// status of a failure (its message already written).
int runStages(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
              RunResults& results);
