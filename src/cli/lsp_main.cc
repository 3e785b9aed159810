// lintkeeper-lsp: the language server of crontabs, speaking the protocol on standard input
// and output; it exits 0 after shutdown and exit, 1 otherwise.
#include <unistd.h>

#include <string>
#include <string_view>

#include "cli/program.h"
#include "lsp/server.h"

namespace lintkeeper {
namespace {

struct LspArgs {};

constexpr Option<LspArgs> kOptions[] = {HELP_OPTION<LspArgs>, VERSION_OPTION<LspArgs>};

std::string after_long_help() {
  return "Settings (initializationOptions, workspace/didChangeConfiguration):\n"
         "  {\"lintkeeper\": {\"cron\": \"debian\" | \"cronie\" | \"busybox\", \"user\": true | "
         "false}}\n\n"
         "Without them, a document is read as the cron that reads the file at its path reads "
         "it (/etc/crontab, /etc/cron.d, the spools), a copy that crontab -e opens as a user "
         "crontab, and anything else as lintkeeper-audit reads a file it is named.\n\n"
         "Exit status:\n"
         "  0  the client asked for shutdown, then exit\n"
         "  1  exit came without shutdown, or the input ended before it\n"
         "  2  an argument error";
}

const Command<LspArgs> LSP_COMMAND{
    LSP_PROGRAM_NAME,
    "Language server of crontabs, on standard input and output",
    "Language server of crontabs, on standard input and output.\n\nAn editor starts it and "
    "speaks the Language Server Protocol to it: each crontab opened gets the findings of "
    "lintkeeper-audit as diagnostics, as it is typed; hovering a job shows when it runs and its "
    "next runs; the code actions make the findings' fixes or switch a kind off around a line.",
    {"", "", true, nullptr},
    kOptions,
    after_long_help,
};

}  // namespace
}  // namespace lintkeeper

int main(int argc, char** argv) {
  using namespace lintkeeper;
  CommandLine<LspArgs> command_line;
  if (const auto status = start_program(argc, argv, LSP_COMMAND, command_line)) return *status;
  return serve(STDIN_FILENO, STDOUT_FILENO);
}
