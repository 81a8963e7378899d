// The module under hostile dialogs, driven through the stand-in host: every parameter of every class missing,
// without text or empty; messages around the 1024-character buffers; records around and far beyond 8192
// characters; signal counts and PDU lengths at the edges of 32 bits.
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "HostFixture.hpp"

namespace korlix_test {
namespace {

const char* const kSizes = "mdlInitializeSizes";
const char* const kQrx = "mdlQRX";

// What a block class reads, from reads.json: the fields its size set-up reads and those its record reads,
// each in read order, and the message an empty text gives for the fields that refuse one. They hold for
// its realistic dialog with `dialog`'s change.
struct ClassReads {
    std::string mask;
    Params dialog;
    std::vector<std::string> sizes, record;
    std::map<std::string, std::string> emptyTextErrors;
};
std::vector<ClassReads> classReads() {
    const Json file = readSourceJson("tests/hardening/reads.json");
    std::vector<ClassReads> classes;
    for (const auto& [mask, reads] : file.items()) {
        classes.push_back({mask, changedDialog(mask, reads.value("dialogChange", Json::object())),
                           reads["sizeReads"], reads["recordReads"],
                           reads.value("emptyTextErrors", std::map<std::string, std::string>{})});
    }
    return classes;
}

// Every field the class reads once, in read order: the size set-up's reads, then the record's others.
std::vector<std::string> readOrder(const ClassReads& c) {
    std::vector<std::string> order = c.sizes;
    for (const auto& name : c.record) {
        if (std::find(order.begin(), order.end(), name) == order.end()) {
            order.push_back(name);
        }
    }
    return order;
}

class Boundary : public HostFixture {
  protected:
    // The whole life of a fresh block: registration, sample times, mdlQRX. The block is deleted afterwards,
    // so that the next registration sweeps its object away.
    quonix::BlockInstance& life(const std::string& mask, const Params& params,
                                const std::string& sysType = "host", const std::string& execError = "") {
        quonix::BlockSpec& blockSpec = addBlock(mask, params);
        blockSpec.executionSystem = quonix::ExecSysAnswer{execError, "", sysType};
        const std::string name = blockSpec.name;
        quonix::BlockInstance& inst = initializeWithSampleTimes(name);
        callback(inst, HB_CALL_QRX);
        model_.find(name)->deleted = true;
        return inst;
    }
    void expectOutcome(const quonix::BlockInstance& inst, const std::string& error, const char* phase) {
        EXPECT_EQ(errorText(inst), error);
        EXPECT_EQ(inst.errorCallback(), error.empty() ? "" : phase);
        EXPECT_TRUE(!error.empty() || !inst.record().empty());
    }
};

TEST_F(Boundary, MissingTextlessAndEmptyParameters) {
    for (const ClassReads& c : classReads()) {
        SCOPED_TRACE(c.mask);
        expectOutcome(life(c.mask, c.dialog), "", kQrx);
        const std::vector<std::string> order = readOrder(c);
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::string& name = order[k];
            SCOPED_TRACE(name);
            const char* phase = k < c.sizes.size() ? kSizes : kQrx;
            const std::string missing =
                "Unable to find variable or field \"" + name + "\" in the s-function parameters";
            // This field and every one read after it gone: the message names this one.
            const Json laterOnes(
                std::vector<std::string>(order.begin() + static_cast<std::ptrdiff_t>(k), order.end()));
            expectOutcome(life(c.mask, changedDialog(c.dialog, {{"remove", laterOnes}})), missing, phase);
            expectOutcome(life(c.mask, changedDialog(c.dialog, {{"remove", {name}}})), missing, phase);
            expectOutcome(life(c.mask, changedDialog(c.dialog, {{"noText", {name}}})), missing, phase);
            const auto empty = c.emptyTextErrors.find(name);
            expectOutcome(life(c.mask, changedDialog(c.dialog, {{"set", {{name, ""}}}})),
                          empty == c.emptyTextErrors.end() ? "" : empty->second, phase);
        }
    }
}

TEST_F(Boundary, MessagesAreCutAt1023Characters) {
    for (std::size_t length : {1022u, 1023u, 1024u, 5000u}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'e');
        // A message the framework copies from the host, and one a block formats from a dialog text.
        expectOutcome(life("KORLIXConfig", {}, "host", text), text.substr(0, 1023), kSizes);
        const std::string type(length - 31, 't');
        expectOutcome(
            life("KORLIXSignalRead", {{"UseCoded", "on"}, {"EnableRSO", "on"}, {"DataType", type}}, "wqm"),
            ("Unsupported data type found: \"" + type + "\"").substr(0, 1023), kSizes);
    }
}

// The record of the Config block of RecordsAreWrittenWhole, with its VXLFile and DeviceIndex.
std::string configRecord(const std::string& vxlFile, const std::string& device) {
    std::string text = R"(KORLIXSFunParameters {
        MaskType         "KORLIXConfig"
        StartBusComm     "on"
        ConfigValid      1
        BuildQW4400      "on"
        BuildQW1400      "off"
        BuildQW3400      "off"
        MaxIterations    50
        DeviceIndex      @D
        PCIBus           3
        PCISlot          7
        VXLInitFile      "init.vt"
        VXLFile          "@V"
        vqc_include_file "Firmware_@D.h"
        ErrorOut         "on"
      }
)";
    text.replace(text.find("@V"), 2, vxlFile);
    for (std::size_t at; (at = text.find("@D")) != std::string::npos;) {
        text.replace(at, 2, device);
    }
    return text;
}

TEST_F(Boundary, RecordsAreWrittenWhole) {
    const auto config = [this](const std::string& vxlFile, const std::string& device) {
        const Params dialog =
            changedDialog("KORLIXConfig", {{"set", {{"VXLFile", vxlFile}, {"DeviceIndex", device}}}});
        return life("KORLIXConfig", dialog).record().at(0)["text"];
    };
    for (std::size_t total : {8191u, 8192u, 100000u}) {
        const std::string vxlFile(total - configRecord("", "0").size(), 'v');
        EXPECT_EQ(config(vxlFile, "0"), configRecord(vxlFile, "0"));
    }
    // The include file name has no fixed-size buffer either.
    EXPECT_EQ(config("v", std::string(200, 'd')), configRecord("v", std::string(200, 'd')));

    // Every class: a 100000-character VXLFile leaves the record exactly as a short one does.
    const std::string longText(100000, 'L');
    for (const ClassReads& c : classReads()) {
        SCOPED_TRACE(c.mask);
        const auto recordWith = [&](const std::string& vxlFile) {
            return Json(life(c.mask, changedDialog(c.dialog, {{"set", {{"VXLFile", vxlFile}}}})).record())
                .dump();
        };
        std::string withLong = recordWith(longText);
        const auto at = withLong.find(longText);
        ASSERT_NE(at, std::string::npos);
        withLong.replace(at, longText.size(), "v");
        EXPECT_EQ(withLong, recordWith("v"));
    }
}

TEST_F(Boundary, CountsAndLengthsAtTheEdgesOf32Bits) {
    // Per value of the field: the ports as "in <widths> out <widths>" ("": not looked at) and the error,
    // which the record writer reports when it begins with "Cannot write", else the size set-up.
    struct EdgeRow {
        const char *mask, *field;
        Json set;  // the other fields changed
        std::array<std::string, 5> ports, errors;
    };
    const std::array<std::string, 5> values = {"0", "1", "2147483647", "2147483648", "4294967295"};
    const auto cannotWrite = [&values](const char* have, std::string first = "") {
        std::array<std::string, 5> errors{first};
        for (std::size_t i = 2; i < 5; ++i) {
            errors[i] = std::string("Cannot write SignalsIndexes: the block holds ") + have +
                        " values but its signal count is " + values[i] + "; initialise the block again";
        }
        return errors;
    };
    const auto tooLarge = [&values](const char* what, const char* largest, std::string first = "") {
        std::array<std::string, 5> errors{first};
        for (std::size_t i = 3; i < 5; ++i) {
            errors[i] =
                std::string(what) + " " + values[i] + " exceeds the largest port " + largest + " 2147483647.";
        }
        return errors;
    };
    const Json frame = {{"SignalsDTypes", "uint8"},
                        {"SignalsIndexes", "4"},
                        {"EnableUSO", "on"},
                        {"EnableVSO", "on"},
                        {"FrameTiming", "event"}};
    const Json pdu = {{"PduLength", "8"},
                      {"PduLabel", "P"},
                      {"SignalsDTypes", "uint8"},
                      {"SignalsOffsets", "0"},
                      {"SignalsEndianess", "0"}};
    Json pduOfOne = pdu;
    pduOfOne["NumberOfSignals"] = "1";
    const Json none = Json::object();
    const char* const typeCount = "Error converting block data type string ";
    // clang-format off
    const std::vector<EdgeRow> rows = {
        {"ErrorInjection", "NumberOfSignals", {{"FrameLabel", "F"}, {"SignalsIndexes", "4"}}, {"in 1 out", "in 1 out"}, cannotWrite("1")},
        {"ReadFrameSignals", "NumberOfSignals", frame, {"in out 1 1", "in out 1 1 1"}, cannotWrite("0", typeCount +
         std::string("uint8 in identifier: The length of the obtained identifiers vector 1 is not equal to the number "
         "of signals 0 (value read 0)\n"))},
        {"WriteFrameSignals", "NumberOfSignals", frame, {"in 1 out", "in 1 1 out"}, cannotWrite("0", typeCount +
         std::string("(\"uint8\") in identifier: The length of the obtained identifiers vector (= 1) is not equal to "
         "the number of signals (= 0) \n"))},
        {"FlexRayPackPDU", "NumberOfSignals", pdu, {"in out 8", "in 1 out 8", "in out 8", "in out 8", "in out 8"},
         {"Error in Pack PDU block: Mismatch in data type string length: String read: uint8, number of signals: 0, PDU label: P\n"}},
        {"FlexRayUnpackPDU", "NumberOfSignals", pdu, {"in 8 out", "in 8 out 1", "in 8 out", "in 8 out", "in 8 out"},
         {"Error in Unpack PDU block: Mismatch in data type string length: String read: uint8, number of signals: 0, PDU label: P\n"}},
        {"FlexRayReadPDU", "PduLength", none, {"in out 1", "in out 1", "in out 2147483647"}, tooLarge("PduLength", "width")},
        {"FlexRayWritePDU", "PduLength", none, {"in 1 out", "in 1 out", "in 2147483647 out"}, tooLarge("PduLength", "width")},
        {"FlexRayPackPDU", "PduLength", pduOfOne, {"in 1 out 1", "in 1 out 1", "in 1 out 2147483647"},
         tooLarge("PduLength", "width")},
        {"FlexRayUnpackPDU", "PduLength", pduOfOne, {"in 1 out 1", "in 1 out 1", "in 2147483647 out 1"},
         tooLarge("PduLength", "width")},
    };
    // clang-format on
    const auto ports = [](const HostBlock& b) {
        std::string s = "in";
        for (int i = 0; i < b.sizes[HB_SIZE_NUM_INPUTS]; ++i) {
            s += " " + std::to_string(b.inputs[i].width);
        }
        s += " out";
        for (int i = 0; i < b.sizes[HB_SIZE_NUM_OUTPUTS]; ++i) {
            s += " " + std::to_string(b.outputs[i].width);
        }
        return s;
    };
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    for (const EdgeRow& row : rows) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            SCOPED_TRACE(std::string(row.mask) + " " + row.field + "=" + values[i]);
            Json set = row.set;
            set[row.field] = values[i];
            const auto& inst = life(row.mask, changedDialog(row.mask, {{"set", set}}));
            EXPECT_TRUE(row.ports[i].empty() || ports(inst.block()) == row.ports[i]) << ports(inst.block());
            expectOutcome(inst, row.errors[i], row.errors[i].starts_with("Cannot write") ? kQrx : kSizes);
        }
    }
    // Nothing was sized by a count: the peak memory of the process grew by less than 64 MiB.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - before, 64 * 1024);
}

}  // namespace
}  // namespace korlix_test
