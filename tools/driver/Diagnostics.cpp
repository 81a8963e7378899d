#include "Diagnostics.hpp"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace korlix_host {
namespace {

bool isIdentifier(const std::string& key) {
    if (key.empty() || std::isdigit(static_cast<unsigned char>(key[0])) != 0) {
        return false;
    }
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; });
}

template <class J>
const char* kindOfValue(const J& j) {
    switch (j.type()) {
        case J::value_t::object:
            return "an object";
        case J::value_t::array:
            return "an array";
        case J::value_t::string:
            return "a text";
        case J::value_t::boolean:
            return "true/false";
        case J::value_t::null:
            return "null";
        case J::value_t::number_integer:
        case J::value_t::number_unsigned:
        case J::value_t::number_float:
            return "a number";
        default:
            return "binary data";
    }
}

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Insertions, deletions, substitutions and swaps of neighbours that turn a into b.
std::size_t editDistance(const std::string& a, const std::string& b) {
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            std::size_t& cell = d[i * width + j];
            if (i == 0 || j == 0) {
                cell = i + j;
                continue;
            }
            cell = std::min({d[(i - 1) * width + j] + 1, d[i * width + j - 1] + 1,
                             d[(i - 1) * width + j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                cell = std::min(cell, d[(i - 2) * width + j - 2] + 1);
            }
        }
    }
    return d.back();
}

// Pre-order position of every place in the document, by path.
void number(const nlohmann::ordered_json& j, const std::string& path,
            std::unordered_map<std::string, std::size_t>& order) {
    order.emplace(path, order.size());
    if (j.is_object()) {
        for (const auto& [key, value] : j.items()) {
            number(value, memberPath(path, key), order);
        }
    } else if (j.is_array()) {
        for (std::size_t i = 0; i < j.size(); ++i) {
            number(j[i], elementPath(path, i), order);
        }
    }
}

}  // namespace

std::string memberPath(const std::string& path, const std::string& key) {
    if (!isIdentifier(key)) {
        return path + "[" +
               nlohmann::json(key).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "]";
    }
    return path.empty() ? key : path + "." + key;
}

std::string elementPath(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

const char* kindOf(const nlohmann::ordered_json& j) {
    return kindOfValue(j);
}

const char* kindOf(const nlohmann::json& j) {
    return kindOfValue(j);
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    const std::string w = lower(word);
    const std::string* best = nullptr;
    std::size_t bestDistance = 0;
    for (const std::string& candidate : candidates) {
        const std::string c = lower(candidate);
        if (candidate == word) {
            continue;
        }
        // A case slip or a cut-short word counts as nearest; otherwise at most one edit per three letters.
        std::size_t d = editDistance(w, c);
        if (d == 0 || (w.size() >= 3 && c.rfind(w, 0) == 0)) {
            d = 0;
        } else if (d * 3 > std::max(w.size(), c.size())) {
            continue;
        }
        if (best == nullptr || d < bestDistance) {
            best = &candidate;
            bestDistance = d;
        }
    }
    return best == nullptr ? std::string() : "; did you mean \"" + *best + "\"?";
}

void sortByPlace(std::vector<Diagnostic>& list, const nlohmann::ordered_json& document) {
    std::unordered_map<std::string, std::size_t> order;
    number(document, "", order);
    // A place the document does not have (a missing key) sorts at the nearest enclosing one.
    auto position = [&order](std::string path) {
        for (;;) {
            if (auto it = order.find(path); it != order.end()) {
                return it->second;
            }
            const std::size_t cut = path.find_last_of(".[");
            if (cut == std::string::npos || cut == 0) {
                return std::size_t{0};
            }
            path.erase(cut);
        }
    };
    std::stable_sort(list.begin(), list.end(), [&](const Diagnostic& a, const Diagnostic& b) {
        return position(a.path) < position(b.path);
    });
}

}  // namespace korlix_host
