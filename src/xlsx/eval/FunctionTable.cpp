#include "eval/CompiledFormula.h"
#include "eval/Evaluation.h"

#include <unordered_map>

namespace xlsx::eval {

const FunctionSpec* findFunction(std::string_view upperName) {
    static const auto table = [] {
        std::unordered_map<std::string_view, const FunctionSpec*> byName;
        for (const auto* family : {&mathFunctions(), &aggregateFunctions(), &logicalFunctions(),
                                   &lookupFunctions(), &textFunctions(), &dateFunctions(), &infoFunctions()})
            for (const auto& spec : *family)
                byName.emplace(spec.name, &spec);
        return byName;
    }();
    auto found = table.find(upperName);
    return found == table.end() ? nullptr : found->second;
}

} // namespace xlsx::eval
