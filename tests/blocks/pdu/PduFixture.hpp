// Shared set-up of the PDU block tests: a complete dialog per mask type that a test changes field by
// field, and compact texts for the port shapes and the closing set-up of a block.
#pragma once

#include <cstdio>
#include <string>

#include "HostFixture.hpp"

namespace korlix_test {

// An override value that takes the field out of the dialog altogether.
inline const char* const kRemove = "\x02<remove>";

// clang-format off
inline Params baseParams(const std::string& maskType) {
    if (maskType == "FlexRayReadPDU") {
        return {{"MaskType", maskType}, {"ConfigValid", "1"}, {"DeviceIndex", "0"}, {"PduLabel", "PDU_Engine"},
                {"PduIndex", "4"}, {"PduLength", "8"}, {"EnableUSO", "off"}, {"EnableUpdtBit", "off"},
                {"SignalIndex", "2"}, {"VXLInitFile", "fr_init"}, {"VXLFile", "fr_pdu_read"}};
    }
    if (maskType == "FlexRayWritePDU") {
        return {{"MaskType", maskType}, {"ConfigValid", "1"}, {"DeviceIndex", "1"}, {"PduLabel", "PDU_Brake"},
                {"PduIndex", "7"}, {"PduLength", "8"}, {"VXLInitFile", "fr_init"}, {"VXLFile", "fr_pdu_write"}};
    }
    return {{"MaskType", maskType}, {"ConfigValid", "1"}, {"PduLabel", "PDU_Body"}, {"PduLength", "8"},
            {"NumberOfSignals", "3"}, {"SignalsDTypes", "uint8 uint16 boolean"}, {"SignalsOffsets", "0 8 24"},
            {"SignalsEndianess", "0 0 1"}, {"VXLInitFile", "fr_init"}, {"VXLFile", "fr_pdu_pack"}};
}
// clang-format on

// base with each override replacing the field of that name, removing it (kRemove) or adding it.
inline Params withOverrides(Params base, const Params& overrides) {
    for (const auto& [name, text] : overrides) {
        auto it = base.begin();
        while (it != base.end() && it->first != name) {
            ++it;
        }
        if (text == kRemove) {
            if (it != base.end()) {
                base.erase(it);
            }
        } else if (it != base.end()) {
            it->second = text;
        } else {
            base.emplace_back(name, text);
        }
    }
    return base;
}

// Ports as "in{...} out{...}": each port is "<data type id>x<width>", an input followed by F for direct
// feedthrough and A for attribute bit 0x20 (other attribute bits show as #<decimal value>).
inline std::string portShape(const HostBlock& b) {
    std::string text = "in{";
    for (int32_t i = 0; i < b.sizes[HB_SIZE_NUM_INPUTS]; ++i) {
        const HostInputPort& p = b.inputs[i];
        text += (i > 0 ? " " : "") + std::to_string(p.dataTypeId) + "x" + std::to_string(p.width);
        text += p.directFeedThrough != 0 ? "F" : "";
        if (p.attributes != 0) {
            text += p.attributes == 0x20 ? "A" : "#" + std::to_string(p.attributes);
        }
    }
    text += "} out{";
    for (int32_t i = 0; i < b.sizes[HB_SIZE_NUM_OUTPUTS]; ++i) {
        text += (i > 0 ? " " : "") + std::to_string(b.outputs[i].dataTypeId) + "x" +
                std::to_string(b.outputs[i].width);
    }
    return text + "}";
}

// What the closing set-up leaves: work vectors, option word (the registration adds 0x2000), flag bits
// 0x780000.
inline std::string closingState(const HostBlock& b) {
    char text[160];
    std::snprintf(text, sizeof text, "iw=%d rw=%d pw=%d st=%d opt=%x flags=%x", b.sizes[HB_SIZE_NUM_IWORK],
                  b.sizes[HB_SIZE_NUM_RWORK], b.sizes[HB_SIZE_NUM_PWORK], b.sizes[HB_SIZE_NUM_SAMPLE_TIMES],
                  static_cast<unsigned>(b.sizes[HB_SIZE_OPTIONS]),
                  static_cast<unsigned>(b.sizes[HB_SIZE_FLAGS]) & 0x780000u);
    return text;
}

// closingState after the closing set-up (the read and write blocks keep one integer work element) or without
// it (the framework's presets).
inline std::string expectedClosing(const std::string& maskType, bool closed) {
    if (!closed) {
        return "iw=0 rw=0 pw=0 st=1 opt=2000 flags=0";
    }
    const bool readOrWrite = maskType == "FlexRayReadPDU" || maskType == "FlexRayWritePDU";
    return readOrWrite ? "iw=1 rw=0 pw=0 st=1 opt=282020 flags=100000"
                       : "iw=0 rw=0 pw=0 st=1 opt=282020 flags=100000";
}

// How the host differs from its defaults for one table row.
struct HostKnobs {
    int parameterCount = 2;
    int32_t maxPorts = 1024;
    bool sizesOnly = false;
};

class PduFixture : public HostFixture {
  protected:
    quonix::BlockInstance& setUp(const std::string& maskType, const Params& overrides, HostKnobs knobs = {}) {
        quonix::BlockSpec& desc = addBlock(maskType, withOverrides(baseParams(maskType), overrides), 0.01);
        desc.parameterCount = knobs.parameterCount;
        settings_.maxPorts = knobs.maxPorts;
        settings_.sizesOnly = knobs.sizesOnly;
        return initialize(desc.name);
    }
    // A user edit of the block's dialog before the next model update.
    void edit(const std::string& blockName, const Params& overrides) {
        quonix::BlockSpec* desc = model_.find(blockName);
        ASSERT_NE(desc, nullptr);
        Params current;
        for (const auto& field : *desc->parameters) {
            current.emplace_back(field.name, field.text.value_or(kNoText));
        }
        desc->parameters = toFields(withOverrides(current, overrides));
    }
};

}  // namespace korlix_test
