#include "data/input_text.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

InputText readInputText(const std::string& fileName) {
    InputText input;
    std::ostringstream bytes;
    if (fileName == "-") {
        bytes << std::cin.rdbuf();
    } else {
        std::ifstream file(fileName, std::ios::binary);
        if (!file) {
            input.problem = "cannot open " + fileName;
            return input;
        }
        bytes << file.rdbuf();
    }
    input.bytes = std::move(bytes).str();
    return input;
}
