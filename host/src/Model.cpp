// The model: blocks in model order, their handles, and what the command language learns about them.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
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

std::size_t Model::HandleHash::operator()(double handle) const {
    // 0.0 and -0.0 are the same key; the finaliser spreads handles that differ only in a few bits.
    std::uint64_t bits = handle == 0.0 ? 0 : std::bit_cast<std::uint64_t>(handle);
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<std::size_t>(bits);
}

BlockSpec& Model::addBlock(BlockSpec block) {
    if (find(block.name) != nullptr) {
        throw std::invalid_argument("block name '" + block.name + "' is used twice in model '" + name_ + "'");
    }
    if (block.handle == 0.0) {
        // Host handles look like 1.0001, 2.0001, ...: the text is parsed so that the double is exactly the
        // one the decimal names, and the trace and the report show it as written.
        for (; block.handle == 0.0; ++nextHandle_) {
            std::string text = std::to_string(nextHandle_) + ".0001";
            double candidate = 0.0;
            std::from_chars(text.data(), text.data() + text.size(), candidate);
            if (!byHandle_.contains(candidate)) {
                block.handle = candidate;
            }
        }
    } else if (byHandle_.contains(block.handle)) {
        throw std::invalid_argument("block '" + block.name + "' has the handle " +
                                    detail::formatNumber(block.handle) + " of another block");
    }
    byHandle_.emplace(block.handle, blocks_.size());
    byName_.emplace(block.name, blocks_.size());
    sortedStale_ = true;
    blocks_.push_back(std::move(block));
    return blocks_.back();
}

BlockSpec* Model::find(const std::string& blockName) {
    const auto it = byName_.find(blockName);
    return it == byName_.end() ? nullptr : &blocks_[it->second];
}

const BlockSpec* Model::byHandle(double handle) const {
    if (sortedStale_) {
        sortedHandles_.assign(byHandle_.begin(), byHandle_.end());
        std::sort(sortedHandles_.begin(), sortedHandles_.end());
        sortedStale_ = false;
    }
    // A sweep asks for the handle after the last one found: looked at before searching.
    const std::size_t next = lastFound_ + 1;
    if (next < sortedHandles_.size() && sortedHandles_[next].first == handle) {
        lastFound_ = next;
        return &blocks_[sortedHandles_[next].second];
    }
    const auto it = std::lower_bound(sortedHandles_.begin(), sortedHandles_.end(), handle,
                                     [](const auto& entry, double key) { return entry.first < key; });
    if (it == sortedHandles_.end() || it->first != handle) {
        return nullptr;
    }
    lastFound_ = static_cast<std::size_t>(it - sortedHandles_.begin());
    return &blocks_[it->second];
}

std::optional<std::string> Model::maskType(double handle) const {
    const BlockSpec* block = byHandle(handle);
    if (block == nullptr || block->deleted) {
        return std::nullopt;
    }
    return block->maskType;
}

bool Model::isHandle(double handle) const {
    const BlockSpec* block = byHandle(handle);
    return block != nullptr && !block->deleted;
}

std::optional<ExecSysAnswer> Model::executionSystem(double handle) const {
    const BlockSpec* block = byHandle(handle);
    if (block == nullptr || block->deleted) {
        return std::nullopt;
    }
    return block->executionSystem;
}

}  // namespace quonix
