#include "eval/CompiledFormula.h"
#include "eval/Evaluation.h"

#include <unordered_map>

namespace xlsx::eval {

const FunctionDef* findFunction(std::string_view upperName) {
    static const auto table = [] {
        std::unordered_map<std::string_view, const FunctionDef*> byName;
        for (const auto* family :
             {&mathFunctions(), &trigFunctions(), &aggregateFunctions(), &statisticalFunctions(),
              &logicalFunctions(), &lookupFunctions(), &textFunctions(), &dateFunctions(),
              &dateSpanFunctions(), &infoFunctions()})
            for (const auto& def : *family)
                byName.emplace(def.name, &def);
        return byName;
    }();
    auto found = table.find(upperName);
    return found == table.end() ? nullptr : found->second;
}

} // namespace xlsx::eval
