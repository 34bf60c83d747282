// Writes what is made of kavlo-ipfinder's option table at build time, so that a new option is
// everywhere: the shell completions for bash, zsh, fish and PowerShell (options complete, and file
// names after an option that takes a file), the manual page's synopsis and options, and the option
// list of docs/command-line.md. A build tool, not part of the program.
//   make_pages DIR MANUAL.in DATE    writes into DIR: share/, the completions of bash and fish
//                                    where they look for them; zsh/, zsh's; powershell/, the
//                                    PowerShell completion; the manual page, from its template,
//                                    dated DATE (the release's); and options.md
#define KAVLO_MANUAL(words) , words  // the manual's words, which only the pages carry
#include "options.h"
#include "version.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace {

using kavlo::cli::Action;
using kavlo::cli::kOptions;
using kavlo::cli::Option;

constexpr std::string_view kName = KAVLO_CLI_INTERNAL_NAME;

// An option's help on one line, as a completion's description.
std::string summary(const Option& option) {
    std::string line(option.help);
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

// `text` with each character of `special` preceded by `escape`.
std::string escaped(std::string_view text, std::string_view special, std::string_view escape) {
    std::string out;
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos) out += escape;
        out += c;
    }
    return out;
}

// The names of the options, and of those that take a file, each in `separator`-separated words.
std::string names(bool files, std::string_view separator) {
    std::string out;
    for (const Option& option : kOptions) {
        if (files && option.action != Action::File) continue;
        for (const std::string_view name : {option.shortName, option.longName}) {
            if (name.empty()) continue;
            if (!out.empty()) out += separator;
            out += name;
        }
    }
    return out;
}

std::string bash() {
    std::ostringstream out;
    out << "# bash completion for " << kName << ", made from its option table.\n"
        << "_kavlo_ipfinder() {\n"
        << "    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}\n"
        << "    if [[ $previous == @(" << names(true, "|") << ") ]]; then\n"
        << "        compopt -o filenames 2>/dev/null\n"
        << "        COMPREPLY=($(compgen -f -- \"$current\"))\n"
        << "    elif [[ $current == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W '" << names(false, " ") << "' -- \"$current\"))\n"
        << "    fi\n"
        << "}\n"
        << "complete -F _kavlo_ipfinder " << kName << "\n";
    return out.str();
}

// The options that cannot go with `option` (the modes with a mode, the formats with a format),
// itself among them, in `separator`-separated words, each after `prefix`; empty for the others.
std::string rivals(const Option& option, std::string_view separator, std::string_view shortPrefix = "",
                   std::string_view longPrefix = "") {
    std::string out;
    if (option.action != Action::SetMode && option.action != Action::SetFormat) return out;
    for (const Option& other : kOptions) {
        if (other.action != option.action) continue;
        for (const std::string_view name : {other.shortName, other.longName}) {
            if (name.empty()) continue;
            if (!out.empty()) out += separator;
            out += std::string(name.size() == 2 ? shortPrefix : longPrefix) + std::string(name.substr(shortPrefix.empty() ? 0 : name.size() == 2 ? 1 : 2));
        }
    }
    return out;
}

std::string zsh() {
    std::ostringstream out;
    // "--" alone means something else to _arguments (options read from --help): it is left out.
    // A mode or a format is not offered once one is given.
    out << "#compdef " << kName << "\n# zsh completion for " << kName << ", made from its option table.\n"
        << "_arguments -s";
    for (const Option& option : kOptions) {
        if (option.action == Action::EndOfOptions) continue;
        const std::string description = escaped(summary(option), "[]'\\", "\\");
        const bool file = option.action == Action::File;
        const std::string excluded = rivals(option, " ");
        for (const std::string_view name : {option.shortName, option.longName}) {
            if (name.empty()) continue;
            const std::string_view takes = !file ? "" : name.size() == 2 ? "+" : "=";
            out << " \\\n    '" << (excluded.empty() ? "" : "(" + excluded + ")") << (file ? "*" : "") << name << takes
                << '[' << description << ']' << (file ? ":file:_files" : "") << "'";
        }
    }
    out << "\n";
    return out.str();
}

std::string fish() {
    std::ostringstream out;
    out << "# fish completion for " << kName << ", made from its option table.\n"
        << "complete -c " << kName << " -f  # its arguments are hashes and texts, not files\n";
    for (const Option& option : kOptions) {
        if (option.action == Action::EndOfOptions) continue;
        out << "complete -c " << kName;
        if (!option.shortName.empty()) out << " -s " << option.shortName.substr(1);
        out << " -l " << option.longName.substr(2) << (option.action == Action::File ? " -r -F" : "");
        const std::string seen = rivals(option, " ", "-s ", "-l ");
        if (!seen.empty()) out << " -n 'not __fish_seen_argument " << seen << "'";
        out << " -d '" << escaped(summary(option), "'\\", "\\") << "'\n";
    }
    return out.str();
}

std::string powershell() {
    std::ostringstream out;
    out << "# PowerShell completion for " << kName << ", made from its option table. To have it in every\n"
        << "# session, add a line to your profile (notepad $PROFILE): . \"<folder>\\kavlo-ipfinder-completion.ps1\"\n"
        << "Register-ArgumentCompleter -Native -CommandName @('" << kName << "', '" << kName << ".exe') -ScriptBlock {\n"
        << "    param($wordToComplete, $commandAst, $cursorPosition)\n"
        << "    $options = [ordered]@{\n";
    for (const Option& option : kOptions) {
        for (const std::string_view name : {option.shortName, option.longName}) {
            if (!name.empty()) out << "        '" << name << "' = '" << escaped(summary(option), "'", "'") << "'\n";
        }
    }
    out << "    }\n"
        << "    $before = @($commandAst.CommandElements | Where-Object { $_.Extent.EndOffset -lt $cursorPosition })\n"
        << "    if ($before.Count -gt 1 -and $before[-1].ToString() -in @('" << names(true, "', '") << "')) {\n"
        << "        return [System.Management.Automation.CompletionCompleters]::CompleteFilename($wordToComplete)\n"
        << "    }\n"
        << "    $options.GetEnumerator() | Where-Object { $_.Key -like \"$wordToComplete*\" } | ForEach-Object {\n"
        << "        [System.Management.Automation.CompletionResult]::new($_.Key, $_.Key, 'ParameterName', $_.Value)\n"
        << "    }\n"
        << "}\n";
    return out.str();
}

// A Windows file's text, its lines ending in CRLF.
std::string crlf(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

// The manual's words in roff: '-' as \-, '\' as \e, *bold* as \fB...\fR.
std::string roff(std::string_view text) {
    std::string out;
    for (std::size_t at = 0, stars = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '*') {
            out += stars++ % 2 == 0 ? "\\fB" : "\\fR";
        } else {
            out += c == '-' ? "\\-" : c == '\\' ? "\\e" : std::string(1, c);
        }
    }
    return out;
}

// The calls, as the manual's synopsis: a mode a line, with the formats to choose from and its inputs.
std::string synopsis() {
    std::ostringstream out;
    std::string_view newLine;
    kavlo::cli::forEachMode([&](const Option* mode, std::string_view inputs) {
        out << newLine << ".B " << kName << (mode ? " " : "") << (mode ? roff(mode->longName) : "") << "\n.RB [ ";
        std::string_view bar;
        for (const Option& option : kOptions) {
            if (option.action == Action::SetFormat) out << std::exchange(bar, " \" | \" ") << roff(option.longName);
        }
        out << " ]\n.RI [ " << inputs << " ...]\n.RB [ \\- ]\n";
        for (const Option& option : kOptions) {
            if (option.action == Action::File) out << ".RB [ " << roff(option.shortName) << "\n.IR " << option.argument << " ]...\n";
        }
        newLine = ".br\n";
    });
    return out.str();
}

// The options as the manual's OPTIONS: each option's names, and its words.
std::string manualOptions() {
    std::ostringstream out;
    for (const Option& option : kOptions) {
        const std::string_view comma = option.shortName.empty() ? "" : ", ";
        const std::string_view italic = option.argument.empty() ? "" : " \\fI";
        out << ".TP\n.B " << roff(option.shortName) << comma << roff(option.longName) << italic << option.argument
            << (italic.empty() ? "" : "\\fR") << "\n" << roff(option.manual) << "\n";
    }
    return out.str();
}

// The options as docs/command-line.md lists them.
std::string markdownOptions() {
    std::ostringstream out;
    for (const Option& option : kOptions) {
        std::string words(option.manual);
        std::replace(words.begin(), words.end(), '*', '`');
        out << "- ";
        if (!option.shortName.empty()) out << '`' << option.shortName << "`, ";
        out << '`' << option.longName << (option.argument.empty() ? "" : " ") << option.argument << "`: " << words << "\n";
    }
    return out.str();
}

// The manual page: its template, with the version, the synopsis and the options put in.
std::string manualPage(const std::string& templateFile, const std::string& date) {
    std::ifstream in(templateFile, std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::pair<std::string_view, std::string> parts[] = {
        {"@DATE@", date}, {"@KAVLO_VERSION_TEXT@", KAVLO_VERSION_TEXT}, {"@SYNOPSIS@\n", synopsis()},
        {"@OPTIONS@\n", manualOptions()}};
    for (const auto& [mark, text] : parts) {
        const std::size_t at = page.find(mark);
        if (at == std::string::npos) return {};
        page.replace(at, mark.size(), text);
    }
    return page;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_pages DIR MANUAL.in DATE\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::pair<std::string, std::string> pages[] = {
        {"share/bash-completion/completions/kavlo-ipfinder", bash()},
        {"zsh/_kavlo-ipfinder", zsh()},  // which CMakeLists.txt puts where the prefix's zsh looks
        {"share/fish/vendor_completions.d/kavlo-ipfinder.fish", fish()},
        {"powershell/kavlo-ipfinder-completion.ps1", crlf(powershell())},
        {"kavlo-ipfinder.1", manualPage(argv[2], argv[3])},
        {"options.md", markdownOptions()}};
    for (const auto& [name, text] : pages) {
        std::filesystem::create_directories((folder / name).parent_path());
        std::ofstream out(folder / name, std::ios::binary);
        out << text;
        if (text.empty() || !out) {
            std::cerr << "make_pages: cannot write " << (folder / name).string() << "\n";
            return 1;
        }
    }
    return 0;
}
