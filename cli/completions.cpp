// Writes kavlo-ipfinder's shell completions, made from its option table, so that a new option
// completes everywhere: for bash, zsh, fish and PowerShell. Options complete; after an option that
// takes a file, file names do. A build tool, not part of the program.
//   write_completions DIR    writes kavlo-ipfinder.bash, _kavlo-ipfinder, kavlo-ipfinder.fish and
//                            kavlo-ipfinder-completion.ps1 into DIR
#include "options.h"
#include "version.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

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

void bash(std::ostream& out) {
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
}

void zsh(std::ostream& out) {
    // "--" alone means something else to _arguments (options read from --help): it is left out.
    out << "#compdef " << kName << "\n# zsh completion for " << kName << ", made from its option table.\n"
        << "_arguments -s";
    for (const Option& option : kOptions) {
        if (option.action == Action::EndOfOptions) continue;
        const std::string description = escaped(summary(option), "[]'\\", "\\");
        const bool file = option.action == Action::File;
        for (const std::string_view name : {option.shortName, option.longName}) {
            if (name.empty()) continue;
            const std::string_view takes = !file ? "" : name.size() == 2 ? "+" : "=";
            out << " \\\n    '" << (file ? "*" : "") << name << takes << '[' << description << ']' << (file ? ":file:_files" : "") << "'";
        }
    }
    out << "\n";
}

void fish(std::ostream& out) {
    out << "# fish completion for " << kName << ", made from its option table.\n"
        << "complete -c " << kName << " -f  # its arguments are hashes and texts, not files\n";
    for (const Option& option : kOptions) {
        if (option.action == Action::EndOfOptions) continue;
        out << "complete -c " << kName;
        if (!option.shortName.empty()) out << " -s " << option.shortName.substr(1);
        out << " -l " << option.longName.substr(2) << (option.action == Action::File ? " -r -F" : "") << " -d '"
            << escaped(summary(option), "'\\", "\\") << "'\n";
    }
}

void powershell(std::ostream& out) {
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
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_completions DIR\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::pair<const char*, void (*)(std::ostream&)> shells[] = {
        {"/kavlo-ipfinder.bash", bash}, {"/_kavlo-ipfinder", zsh}, {"/kavlo-ipfinder.fish", fish},
        {"/kavlo-ipfinder-completion.ps1", powershell}};
    for (const auto& [file, write] : shells) {
        std::ofstream out(folder + file, std::ios::binary);
        write(out);
        if (!out) {
            std::cerr << "write_completions: cannot write " << folder << file << "\n";
            return 1;
        }
    }
    return 0;
}
