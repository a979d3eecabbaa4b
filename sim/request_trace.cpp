#include "sim/request_trace.h"

#include <sstream>
#include <stdexcept>
#include <string>

namespace zklog::sim {

TraceWriter::TraceWriter(const std::filesystem::path& file) : out_(file, std::ios::app) {
    if (!out_) {
        throw std::runtime_error("cannot open trace file " + file.string());
    }
}

void TraceWriter::write(const TraceEntry& e) {
    out_ << e.request << ' ' << e.slave << ' ' << e.function << ' ' << e.first_register << ' '
         << e.count << std::endl;
}

std::vector<TraceEntry> read_trace(const std::filesystem::path& file) {
    std::vector<TraceEntry> entries;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        std::istringstream fields(line);
        TraceEntry e;
        if (!(fields >> e.request >> e.slave >> e.function >> e.first_register >> e.count)) {
            throw std::runtime_error("malformed trace line: " + line);
        }
        entries.push_back(e);
    }
    return entries;
}

} // namespace zklog::sim
