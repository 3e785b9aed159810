// The crons the audit knows: names, and the rules of their tables.
#include "cron/crons.h"

#include <algorithm>

#include "base/chars.h"

namespace lintkeeper {

std::optional<CronName> cron_from_name(std::string_view name) {
  for (const CronInfo& info : CRONS) {
    if (info.name == name) return info.cron;
  }
  return std::nullopt;
}

bool reads_name(const NameRule& rule, std::string_view name) {
  if (rule.portable_only && !is_portable_name(name)) return false;
  if (rule.no_dot && name.find('.') != std::string_view::npos) return false;
  const auto starts = [&](std::string_view p) { return name.starts_with(p); };
  const auto ends = [&](std::string_view s) { return name.ends_with(s); };
  return std::none_of(rule.skipped_prefixes.begin(), rule.skipped_prefixes.end(), starts) &&
         std::none_of(rule.skipped_suffixes.begin(), rule.skipped_suffixes.end(), ends);
}

bool honours_variable(const CronInfo& cron, std::string_view name) {
  return cron.variables.empty() ||
         std::find(cron.variables.begin(), cron.variables.end(), name) != cron.variables.end();
}

bool is_inert_variable(const CronInfo& cron, std::string_view name) {
  return std::find(cron.inert_variables.begin(), cron.inert_variables.end(), name) !=
         cron.inert_variables.end();
}

}  // namespace lintkeeper
