#include "Session.hpp"

#include <algorithm>
#include <set>

namespace korlix_host {
namespace {

// The dialog fields of a block; none for an empty structure.
const std::vector<quonix::ParamField>& fieldsOf(const quonix::BlockSpec& blockSpec) {
    static const std::vector<quonix::ParamField> none;
    return blockSpec.parameters ? *blockSpec.parameters : none;
}

}  // namespace

Session::Session(const ModelDescription& description, zupFunctionType entry)
    : model_(description.name), settings_(description.settings), entry_(entry) {
    settings_.budget = &budget_;
    settings_.refusalsAreErrors = true;
    for (const auto& blockSpec : description.blocks) {
        model_.addBlock(blockSpec);
    }
    instances_.resize(model_.blocks().size());
    unread_.resize(instances_.size());
    setPlaces_.resize(instances_.size());
}

std::string Session::fieldPlace(std::size_t i, const std::string& name) const {
    const auto set = setPlaces_[i].find(name);
    return set != setPlaces_[i].end() ? set->second
                                      : memberPath(elementPath("blocks", i) + ".parameters", name);
}

Session::~Session() = default;

void Session::initialize() {
    budget_.ports = 0;  // every block gets a fresh structure without ports
    auto& blocks = model_.blocks();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!blocks[i].deleted) {
            instances_[i] = std::make_unique<quonix::BlockInstance>(blocks[i], settings_);
            instances_[i]->registration(entry_);
        }
        tellProgress("set-up", i + 1, blocks.size());
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!blocks[i].deleted && !instances_[i]->hasError()) {
            instances_[i]->callback(entry_, HB_CALL_INITIALIZE_SAMPLE_TIMES);
        }
        tellProgress("sample times", i + 1, blocks.size());
    }
}

std::vector<std::size_t> Session::live() {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < instances_.size(); ++i) {
        if (instances_[i] && !model_.blocks()[i].deleted && !instances_[i]->hasError()) {
            out.push_back(i);
        }
    }
    return out;
}

void Session::simulate(long long steps) {
    // A block that reports an error on the way is not called again: BlockInstance::callback does nothing
    // once the block has an error.
    const auto blocks = live();
    for (std::size_t i : blocks) {
        instances_[i]->callback(entry_, HB_CALL_START);
    }
    for (long long step = 0; step < steps; ++step) {
        for (std::size_t i : blocks) {
            instances_[i]->callback(entry_, HB_CALL_OUTPUTS);
        }
        tellProgress("simulation steps", static_cast<std::size_t>(step + 1), static_cast<std::size_t>(steps));
    }
    for (std::size_t i : blocks) {
        instances_[i]->callback(entry_, HB_CALL_TERMINATE);
    }
}

std::string Session::generate() {
    budget_.recordBytes = 0;  // every block's record is written anew
    const auto blocks = live();
    for (auto& unread : unread_) {
        unread.reset();
    }
    // Each block's section is rendered as soon as it generated without an error, so the entries of a large
    // model are held all at once only when the report lists them.
    std::string out = quonix::recordFileHeader(model_.name());
    for (std::size_t done = 0; done < blocks.size(); ++done) {
        quonix::BlockInstance& b = *instances_[blocks[done]];
        b.callback(entry_, HB_CALL_QRX);
        if (!b.hasError()) {
            out += quonix::renderRecordSection(b);
            auto& unread = unread_[blocks[done]].emplace();
            for (const auto& name : b.parameterNames()) {
                if (b.fieldLookups().count(name) == 0) {
                    unread.push_back(name);
                }
            }
        }
        if (!keepRecords_) {
            b.releaseRecord();
        }
        tellProgress("code generation", done + 1, blocks.size());
    }
    return out;
}

void Session::apply(const ScenarioStep& step) {
    switch (step.kind) {
        case ScenarioStep::Kind::Initialize:
            initialize();
            break;
        case ScenarioStep::Kind::Delete:
            model_.blocks()[step.block].deleted = true;
            break;
        case ScenarioStep::Kind::Set: {
            // The edit reaches the module with the next model update, as a dialog edit in the host does.
            quonix::BlockSpec& blockSpec = model_.blocks()[step.block];
            auto& places = setPlaces_[step.block];
            if (step.parametersNull) {
                places.clear();
            }
            for (const auto& name : step.remove) {
                places.erase(name);
            }
            for (const auto& field : step.parameters) {
                places[field.name] = memberPath(step.path + ".parameters", field.name);
            }
            if (step.parametersNull) {
                blockSpec.parameters = std::nullopt;
            } else if (!step.parameters.empty() && !blockSpec.parameters) {
                blockSpec.parameters = std::vector<quonix::ParamField>{};
            }
            if (blockSpec.parameters) {
                auto& fields = *blockSpec.parameters;
                for (const auto& name : step.remove) {
                    std::erase_if(fields, [&](const quonix::ParamField& f) { return f.name == name; });
                }
                for (const auto& field : step.parameters) {
                    auto it = std::find_if(fields.begin(), fields.end(),
                                           [&](const quonix::ParamField& f) { return f.name == field.name; });
                    if (it != fields.end()) {
                        *it = field;
                    } else {
                        fields.push_back(field);
                    }
                }
            }
            if (step.sampleTime) {
                blockSpec.sampleTime = *step.sampleTime;
            }
            break;
        }
        case ScenarioStep::Kind::Simulate:
            simulate(step.steps);
            break;
        case ScenarioStep::Kind::Generate:
            lastRecord_ = generate();
            break;
    }
}

nlohmann::ordered_json Session::blockReport(std::size_t i, bool withRecord) {
    const bool deleted = model_.blocks()[i].deleted;
    if (instances_[i]) {
        return instances_[i]->report(withRecord, deleted);
    }
    // Never set up (deleted before the first model update, or no update ran): the structure as the host
    // presets it.
    return quonix::BlockInstance(model_.blocks()[i], settings_).report(withRecord, deleted);
}

nlohmann::ordered_json Session::report(bool withTrace) {
    nlohmann::ordered_json out;
    out["model"] = model_.name();
    out["blocks"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < model_.blocks().size(); ++i) {
        out["blocks"].push_back(blockReport(i, true));
    }
    if (withTrace) {
        out["trace"] = nlohmann::ordered_json(quonix::trace().events());
    }
    return out;
}

std::vector<Diagnostic> Session::unreadFields() {
    std::vector<Diagnostic> out;
    for (std::size_t i = 0; i < unread_.size(); ++i) {
        if (!unread_[i] || model_.blocks()[i].deleted) {
            continue;
        }
        // A name the module asked for but the dialog lacks is the likely meaning of an unread field.
        std::set<std::string> fields;
        for (const auto& field : fieldsOf(model_.blocks()[i])) {
            fields.insert(field.name);
        }
        std::vector<std::string> missing;
        for (const auto& name : instances_[i]->fieldLookups()) {
            if (fields.count(name) == 0) {
                missing.push_back(name);
            }
        }
        for (const auto& name : *unread_[i]) {
            out.push_back(Diagnostic{
                fieldPlace(i, name),
                "the module never read this field in set-up and code generation" + didYouMean(name, missing),
                i});
        }
    }
    return out;
}

std::size_t Session::errorCount() {
    auto& blocks = model_.blocks();
    std::size_t count = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (instances_[i] && !blocks[i].deleted && instances_[i]->hasError()) {
            ++count;
        }
    }
    return count;
}

nlohmann::ordered_json Session::warningsJson(const std::vector<Diagnostic>& warnings) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const Diagnostic& w : warnings) {
        nlohmann::ordered_json entry;
        entry["path"] = w.path;
        if (w.block) {
            entry["block"] = model_.blocks()[*w.block].name;
        }
        entry["message"] = w.message;
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace korlix_host
