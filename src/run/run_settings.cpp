#include "run/run_settings.h"

SettingsTexts describeSettings(const RunSettings& s) {
    SettingsTexts t;
    switch (s.inputFormat) {
        case '1': t.inputFormatText = "has row names, has column names"; break;
        case '2': t.inputFormatText = "has row names, no column names"; break;
        case '3': t.inputFormatText = "no row names, has column names"; break;
        case '4': t.inputFormatText = "no row names, no column names"; break;
        default: break;
    }
    const bool on = s.preprocess == '1';
    t.preprocessText = on ? "Yes" : "No";
    t.directionText = "None";
    t.preprocessMethodText = "None";
    if (on) {
        if (s.preprocessDirection == '1') t.directionText = "row";
        if (s.preprocessDirection == '2') t.directionText = "column";
        switch (s.preprocessMethod) {
            case '1': t.preprocessMethodText = "log"; break;
            case '2': t.preprocessMethodText = "normal"; break;
            case '3': t.preprocessMethodText = "meancenter"; break;
            case '4': t.preprocessMethodText = "mediancenter"; break;
            case '5': t.preprocessMethodText = "max"; break;
            default: break;
        }
    }
    switch (s.distanceMethod) {
        case '1': t.distanceText = "correlation"; break;
        case '2': t.distanceText = "euclidean"; break;
        case '3': t.distanceText = "maximum"; break;
        case '4': t.distanceText = "manhattan"; break;
        case '5': t.distanceText = "binary"; break;
        default: break;
    }
    switch (s.clusteringMethod) {
        case '1': t.clusteringText = "average"; break;
        case '2': t.clusteringText = "compact"; break;
        case '3': t.clusteringText = "connected"; break;
        default: break;
    }
    t.outputFormatText = s.outputFormat == '1' ? "S_Plus" : "New_Hampshire";
    return t;
}
