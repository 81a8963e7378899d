// The model: blocks in model order, their handles, and what the command language learns about them.
#include <charconv>
#include <stdexcept>

#include "HostInternal.hpp"

namespace quonix {

Model::Model(std::string name) : name_(std::move(name)) {
    setModelQueries(this);
}

Model::~Model() {
    if (detail::modelQueries() == this) {
        setModelQueries(nullptr);
    }
}

BlockSpec& Model::addBlock(BlockSpec spec) {
    if (find(spec.name) != nullptr) {
        throw std::invalid_argument("block name '" + spec.name + "' is used twice in model '" + name_ + "'");
    }
    if (spec.handle == 0.0) {
        // Host handles look like 1.0001, 2.0001, ...: the text is parsed so that the double is exactly the
        // one the decimal names, and the trace and the report show it as written.
        for (long k = 1; spec.handle == 0.0; ++k) {
            std::string text = std::to_string(k) + ".0001";
            double candidate = 0.0;
            std::from_chars(text.data(), text.data() + text.size(), candidate);
            if (byHandle(candidate) == nullptr) {
                spec.handle = candidate;
            }
        }
    } else if (byHandle(spec.handle) != nullptr) {
        throw std::invalid_argument("block '" + spec.name + "' has the handle " +
                                    detail::formatNumber(spec.handle) + " of another block");
    }
    blocks_.push_back(std::move(spec));
    return blocks_.back();
}

BlockSpec* Model::find(const std::string& blockName) {
    for (BlockSpec& spec : blocks_) {
        if (spec.name == blockName) {
            return &spec;
        }
    }
    return nullptr;
}

const BlockSpec* Model::byHandle(double handle) const {
    for (const BlockSpec& spec : blocks_) {
        if (spec.handle == handle) {
            return &spec;
        }
    }
    return nullptr;
}

std::optional<std::string> Model::maskType(double handle) const {
    const BlockSpec* spec = byHandle(handle);
    if (spec == nullptr || spec->deleted) {
        return std::nullopt;
    }
    return spec->maskType;
}

bool Model::isHandle(double handle) const {
    const BlockSpec* spec = byHandle(handle);
    return spec != nullptr && !spec->deleted;
}

std::optional<ExecSysAnswer> Model::executionSystem(double handle) const {
    const BlockSpec* spec = byHandle(handle);
    if (spec == nullptr || spec->deleted) {
        return std::nullopt;
    }
    return spec->executionSystem;
}

}  // namespace quonix
