// What the block tests share: the realistic dialog of each mask type, dialog changes as plain data, and the
// block's ports and closing set-up in the form the host's report gives them.
#pragma once

#include <string>
#include <vector>

#include "HostFixture.hpp"

namespace korlix_test {

// A group of cases from a case file under tests/blocks.
inline const Json& caseGroup(const std::string& file, const std::string& group) {
    return caseTable("tests/blocks/" + file, group);
}

// The block's ports as the report lists them, in short: the data type by name (by id where it has none), the
// width, and feedthrough and attributes where they are set.
inline Json ports(const quonix::BlockInstance& inst, const char* side) {
    const Json report = inst.report(false);
    Json shortPorts = Json::array();
    for (const Json& port : report[side]) {
        Json p = port["dataType"].is_null() ? Json{{"dataTypeId", port["dataTypeId"]}}
                                            : Json{{"dataType", port["dataType"]}};
        p["width"] = port["width"];
        if (port.value("directFeedThrough", false)) {
            p["directFeedThrough"] = true;
        }
        if (port.value("attributes", 0) != 0) {
            p["attributes"] = port["attributes"];
        }
        shortPorts.push_back(std::move(p));
    }
    return shortPorts;
}

// Which closing set-up the registration call ended with: "none" while the sizes are the host's presets,
// "signal" after the signal blocks' own, "common" after the common one (with the work vector lengths).
inline Json closing(const HostBlock& b) {
    // The host ors HB_OPTION_REGISTERED in after every registration call.
    const auto options = static_cast<unsigned>(b.sizes[HB_SIZE_OPTIONS]) ^ unsigned { HB_OPTION_REGISTERED };
    const auto flags =
        static_cast<unsigned>(b.sizes[HB_SIZE_FLAGS]) & (HB_FLAG_SETUP_DONE | HB_FLAGS_CLEARED_BY_SETUP);
    const Json work = {b.sizes[HB_SIZE_NUM_IWORK], b.sizes[HB_SIZE_NUM_RWORK], b.sizes[HB_SIZE_NUM_PWORK]};
    if (b.sizes[HB_SIZE_NUM_SAMPLE_TIMES] == 1 && options == HB_OPTIONS_BLOCK &&
        flags == HB_FLAG_SETUP_DONE) {
        return {{"setUp", "common"}, {"work", work}};
    }
    const bool noWork = work == Json{0, 0, 0};
    if (options == HB_OPTIONS_SIGNAL_BLOCK && flags == 0 && noWork) {
        return {{"setUp", "signal"}};
    }
    if (options == 0 && flags == 0 && noWork) {
        return {{"setUp", "none"}};
    }
    return {{"setUp", "other"}, {"options", options}, {"flags", flags}, {"work", work}};
}

// The record calls in order: a text as handed over (one of several lines as the list of its lines), a pair
// with its kind, data type, shape and the line the record file gets.
inline Json recordCalls(const quonix::BlockInstance& inst) {
    Json calls = Json::array();
    for (const auto& entry : inst.record()) {
        if (entry.contains("text")) {
            const std::string text = entry["text"];
            Json lines = Json::array();
            for (std::size_t at = 0;;) {
                const std::size_t end = text.find('\n', at);
                lines.push_back(text.substr(at, end - at));
                if (end == std::string::npos) {
                    break;
                }
                at = end + 1;
            }
            calls.push_back(lines.size() == 1 ? Json(text) : lines);
            continue;
        }
        const auto& pair = entry["pair"];
        calls.push_back({{"kind", pair["kind"]},
                         {"dataTypeId", pair["dataTypeId"]},
                         {"rows", pair["rows"]},
                         {"columns", pair["columns"]},
                         {"line", quonix::renderRecordPair(pair)}});
    }
    return calls;
}

// How the host presents a block beyond its dialog: what korlix_get_execsys2 answers as system type, the
// S-function parameters passed, a parameter structure without data, the largest port count it takes.
struct HostCase {
    std::string sys = "host";
    int params = 2;
    bool emptyStruct = false;
    int maxPorts = 1024;
};
inline HostCase hostCase(const Json& host) {
    return {host.value("sys", "host"), host.value("params", 2), host.value("emptyStruct", false),
            host.value("maxPorts", 1024)};
}

class BlockFixture : public HostFixture {
  protected:
    // Adds a block of the mask type and runs one model update per entry of `updates`, each with that change
    // of the realistic dialog ("sizesOnly": the host's sizes-only mode). The block object persists across
    // the updates.
    quonix::BlockInstance& run(const std::string& maskType, const Json& updates, const HostCase& host = {},
                               double sampleTime = 0.01) {
        quonix::BlockSpec& desc = addBlock(maskType, realisticDialog(maskType), sampleTime);
        desc.executionSystem = quonix::ExecSysAnswer{"", "", host.sys};
        desc.parameterCount = host.params;
        settings_.maxPorts = host.maxPorts;
        const std::string name = desc.name;
        if (!updates.is_array() || updates.empty()) {
            throw std::invalid_argument("a block case needs a list of at least one update: " +
                                        updates.dump());
        }
        quonix::BlockInstance* inst = nullptr;
        for (const Json& update : updates) {
            settings_.sizesOnly = update.value("sizesOnly", false);
            model_.find(name)->parameters = toFields(changedDialog(maskType, update));
            if (host.emptyStruct) {
                model_.find(name)->parameters = std::nullopt;
            }
            inst = &initializeWithSampleTimes(name);
        }
        return *inst;
    }
};

}  // namespace korlix_test
