#pragma once

// Rewrites the references in the parts that hang off a sheet or the workbook after rows were inserted.
// Each returns the edited part, or nullopt when nothing changed; what is not understood stays as written.
// `place` is the part's (with its sheet where it has one); failures name it.

#include "formula/ReferenceShifter.h"
#include "formula/RowShift.h"
#include "xml/Place.h"

#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

// xl/tables/tableN.xml of a table on the shifted sheet: ref, autoFilter ref, sortState and sortCondition
// refs. A table the insertion falls into grows. References without a sheet name in column and totals
// formulas follow too; those naming a sheet (even the table's own) are left as written.
std::optional<std::string> shiftTablePart(std::string_view xml, const RowShift& shift, const Place& place);

// xl/commentsN.xml: each comment's ref (also threadedComment refs of xl/threadedComments/*.xml). Throws
// sheets::Error when a note would be pushed past the last row.
std::optional<std::string> shiftCommentsPart(std::string_view xml, const RowShift& shift, const Place& place);

// xl/drawings/vmlDrawingN.vml (legacy drawing of comment boxes and form controls): x:Row and the rows of
// x:Anchor (0-based); a note's box goes with its cell, other shapes follow x:MoveWithCells and
// x:SizeWithCells; control links (x:FmlaLink, x:FmlaRange) without a sheet name follow this sheet.
// Edited as text: VML from real producers is not always well-formed XML.
std::optional<std::string> shiftVmlDrawing(std::string_view xml, const RowShift& shift);

// xl/drawings/drawingN.xml: twoCellAnchor (from/to rows by editAs: twoCell moves and stretches, oneCell
// moves keeping its size, absolute stays) and oneCellAnchor; rows are 0-based.
std::optional<std::string> shiftDrawingPart(std::string_view xml, const RowShift& shift, const Place& place);

// xl/charts/chartN.xml (any sheet's): series formulas in c:f (and c15 extension equivalents) that refer
// to shifted sheets; `context.formulaSheet` is empty, chart formulas always name their sheet.
std::optional<std::string> shiftChartPart(std::string_view xml, const ShiftContext& context,
                                          const Place& place);

// xl/pivotTables/pivotTableN.xml: the area its table covers (location ref), empty when it names none.
std::string pivotTableLocation(std::string_view xml, const Place& place);
// True when `shift` puts rows inside `area`, between its first and last row. The application refuses
// that for a pivot table: its layout would no longer match the records it was built from.
bool insertsInside(const RowShift& shift, std::string_view area);
// The cause of that refusal.
std::string pivotTableSplit(std::string_view area);

// xl/pivotTables/pivotTableN.xml of a pivot table placed on the shifted sheet: its location ref. Throws
// sheets::Error when rows were inserted through the table (the application refuses that).
std::optional<std::string> shiftPivotTablePart(std::string_view xml, const RowShift& shift,
                                               const Place& place);

// xl/pivotCache/pivotCacheDefinitionN.xml: worksheetSource ref when its sheet attribute names a shifted
// sheet (context.shiftFor).
std::optional<std::string> shiftPivotCacheDefinition(std::string_view xml, const ShiftContext& context,
                                                     const Place& place);

} // namespace xlsx
