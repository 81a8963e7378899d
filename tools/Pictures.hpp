// Pictures of a run for people who would rather look than read: one self-contained HTML page (summary, block
// table, records, a diagram of the blocks with their ports, the bit layout of every PDU pack and unpack
// block) and the block diagram in Graphviz's dot language.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace korlix_host {

// The page of one report ("model", "blocks" with their records, "warnings", "summary"). It needs nothing but
// itself to be viewed: styles and drawings are inline, no script, no link.
std::string renderHtml(const nlohmann::ordered_json& report);

// The blocks as dot records: the ports of each block, inputs left and outputs right, with data type and
// width.
std::string renderDot(const nlohmann::ordered_json& report);

}  // namespace korlix_host
