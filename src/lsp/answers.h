// What the server answers about a checked document, in the protocol's JSON: its diagnostics,
// the hover of a job's line and the code actions of a range.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "lsp/check_document.h"
#include "lsp/text.h"

namespace lintkeeper {

nlohmann::json to_json(const DocumentRange& range);
// A Position or DocumentRange object of the protocol; nothing when it is not one.
std::optional<Position> position_from(const nlohmann::json& value);
std::optional<DocumentRange> range_from(const nlohmann::json& value);

// Every finding of the audit as a Diagnostic, in the order of the gcc report: on the whole
// line it concerns (line 1 for the file as a whole), with source "lintkeeper", the kind's name
// as code, and severity 1 for an error, 2 for a warning.
nlohmann::json diagnostics(const CheckedDocument& doc);

// The Hover of the job on the line at position: when it runs in plain words and its next
// runs, in Markdown; null when no job is on that line.
nlohmann::json hover(const CheckedDocument& doc, Position position);

// The CodeActions of the findings whose line meets the range: each fix that edits the text,
// titled by its description and preferred when it is safe, then for each kind an in-file
// command switches off, "Switch KIND off here", which puts the line between a
// "# lintkeeper: disable-msg=KIND" line above and "# lintkeeper: enable-msg=KIND" below.
nlohmann::json code_actions(const CheckedDocument& doc, const std::string& uri,
                            DocumentRange range);

}  // namespace lintkeeper
