#pragma once

#include <string>
#include <vector>

// The help of morv, written once: `morv help`, `morv help COMMAND` (and
// `morv COMMAND --help`), `morv help values`, and the manual page that the
// build writes with `morv help --man` and `make install` installs, all come
// from the records below (help_records.cpp), laid out for a terminal
// (help_text.cpp) or as roff (man_page.cpp).

extern const char kMorvVersion[];

// One option or word of a command: how it is written, its argument ("" for a
// flag), its default, and one line of meaning.
struct OptionHelp {
    const char* spelling;  // "-m, --module", "--json", or a word such as "DIR"
    const char* argument;  // "INDEX|NAME"; "" when it takes none
    const char* byDefault;
    const char* meaning;
};

// A command line and what it does.
struct ExampleHelp {
    const char* command;
    const char* result;
};

struct CommandHelp {
    const char* name;
    const char* synopsis;                   // "morv process IN OUT [OPTION]..."
    const char* summary;                    // one line, for the overview
    std::vector<const char*> description;   // paragraphs
    std::vector<OptionHelp> options;
    std::vector<ExampleHelp> examples;      // at least two
};

// Every command, in the order the overview lists them.
const std::vector<CommandHelp>& commandHelps();
// The help of a command, or null.
const CommandHelp* findCommandHelp(const std::string& name);

// `morv help`: what morv is, the usage lines, the commands.
std::string overviewText();
// `morv help COMMAND`: usage, description, every option, examples.
std::string commandHelpText(const CommandHelp& command);
// `morv help values`: the one description of what --set takes.
std::string valuesHelpText();
// The same as blocks: a paragraph, or a line kept as it is (first character '|').
std::vector<std::string> valuesHelpBlocks();
// `morv help --man`: all of the above as a manual page (roff, section 1).
std::string manPage();
