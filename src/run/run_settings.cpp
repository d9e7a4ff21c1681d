#include "run/run_settings.h"

std::string preprocessText(const RunSettings& settings) {
    return settings.preprocess ? "Yes" : "No";
}

std::string preprocessWayText(const RunSettings& settings) {
    if (!settings.preprocess) return "None, None";
    return std::string(keywordOf(PreprocessDirections, settings.preprocessDirection)) + ", " +
           keywordOf(PreprocessMethods, settings.preprocessMethod);
}
