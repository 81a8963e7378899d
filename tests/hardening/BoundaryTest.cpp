// The module under hostile dialogs, driven through the stand-in host: every parameter of every class missing,
// without text or empty; messages around the 1024-character buffers; records around and far beyond 8192
// characters; signal counts and PDU lengths at the edges of 32 bits.
#include <sys/resource.h>

#include <algorithm>
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

// Signal counts and PDU lengths at 0, 1, 2147483647, 2147483648 and 4294967295, the rows of edges.json: the
// dialog change, the ports as "in <widths> out <widths>" (none: not looked at) and the error, which the
// record writer reports when it begins with "Cannot write", else the size set-up.
TEST_F(Boundary, CountsAndLengthsAtTheEdgesOf32Bits) {
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
    const Json edges = readSourceJson("tests/hardening/edges.json");
    for (const auto& row : edges) {
        SCOPED_TRACE(row.dump());
        const std::string mask = row["mask"], error = row.value("error", "");
        const auto& inst = life(mask, changedDialog(mask, {{"set", row["set"]}}));
        EXPECT_EQ(ports(inst.block()), row.value("ports", ports(inst.block())));
        expectOutcome(inst, error, error.starts_with("Cannot write") ? kQrx : kSizes);
    }
    // Nothing was sized by a count: the peak memory of the process grew by less than 64 MiB.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - before, 64 * 1024);
}

}  // namespace
}  // namespace korlix_test
