#include "tools/ManPage.h"

#include "base/AppFolder.h"

namespace quarn::admin {

namespace {

struct CommandText {
  const char* name;
  const char* arguments;
  const char* summary;
};

const CommandText kCommandTexts[] = {
#define QUARN_COMMAND(name, function, arguments, summary) {#name, arguments, summary},
#include "tools/Commands.def"
#undef QUARN_COMMAND
};

struct ExampleText {
  const char* command;
  const char* line;
  const char* meaning;
};

const ExampleText kExamples[] = {
#define QUARN_EXAMPLE(command, line, meaning) {#command, line, meaning},
#include "tools/CommandExamples.def"
#undef QUARN_EXAMPLE
};

std::string section(const std::string& title) {
  return ".SH " + title + "\n";
}

std::string commandSection(const CommandText& command) {
  std::string page = ".SS \"" + roffText(std::string(command.name) + " " + command.arguments) +
                     "\"\n" + roffText(command.summary) + ".\n";
  for (const ExampleText& example : kExamples) {
    if (std::string(example.command) != command.name) continue;
    page += ".PP\nFor example, " + roffText(example.meaning) + ":\n.PP\n.RS\n.nf\n" +
            roffText(example.line) + "\n.fi\n.RE\n";
  }
  return page;
}

}  // namespace

std::string roffText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string adminManPage(const std::string& version) {
  std::string page = ".TH QUARNGAME\\-ADMIN 1 \"\" \"quarngame\\-admin " + roffText(version) +
                     "\" \"User Commands\"\n";
  page +=
      section("NAME") + "quarngame\\-admin \\- administration of Quarn Game experiment databases\n";
  page += section("SYNOPSIS") + ".B quarngame\\-admin\n[\\fB\\-\\-folder\\fR \\fIDIR\\fR] " +
          "\\fICOMMAND\\fR \\fIARGUMENTS\\fR...\n";
  page += section("DESCRIPTION") +
          roffText(
              "quarngame-admin makes, fills, checks, copies, watches and analyses the experiment "
              "databases that quarngame plays. A DATABASE is an encrypted SQLCipher file, or a "
              "PostgreSQL lab server: a connection URI or keyword string, a *.conf settings file, "
              "or a data folder whose quarn.conf names one. A DATADIR is the data folder of an "
              "application folder (its quarn.mdb, and Input/ beside it).") +
          "\n";
  page += section("COMMANDS");
  for (const CommandText& command : kCommandTexts) page += commandSection(command);
  page += section("OPTIONS") + ".TP\n\\fB\\-\\-folder\\fR \\fIDIR\\fR\n" +
          roffText("the application folder (data/ and Input/) of a demo made without DATADIR") +
          "\n.TP\n\\fB\\-\\-version\\fR\nshow the version\n.TP\n\\fB\\-\\-help\\fR\n" +
          roffText("list the commands and name the folder in use") + "\n";
  page += section("APPLICATION FOLDER") +
          roffText("quarngame and quarngame-admin take the application folder from the first of:") +
          "\n.PP\n.nf\n" + roffText(folderRuleText("")) + ".fi\n";
  page += section("EXIT STATUS") +
          "0 on success; 1 when a command fails or check finds a fault; 2 for an unknown "
          "command or option, or arguments that do not fit the command.\n";
  page += section("FILES") + ".TP\n.I DATADIR/quarn.mdb\n" +
          roffText("the experiment database file: the plan and every result") +
          "\n.TP\n.I DATADIR/quarn.conf\n" +
          roffText("the lab server's connection settings, instead of a database file") +
          "\n.TP\n.I DATADIR/<User ID>.txt\n" +
          roffText("a participant's text file, one comma-separated line per week played") +
          "\n.TP\n.I Input/\n" + roffText("demand files named by the plan's Input column") +
          "\n.TP\n.I " + roffText(kMachineSettingsFile) + "\n" +
          roffText("the machine's setting of the application folder (folder = DIR)") +
          "\n.TP\n.I ~/.config/quarngame/quarngame.conf\n" +
          roffText("the user's setting of the application folder (folder = DIR)") +
          "\n.TP\n.I /usr/libexec/quarngame/quarngame\\-charts\n" +
          roffText(
              "the program that report and debrief run: it draws the charts and opens the "
              "debriefing window") +
          "\n.TP\n.I /usr/share/doc/quarngame/plan\\-reference.md\n" +
          roffText(
              "every table and column of an experiment database, as quarngame-admin columns "
              "prints it") +
          "\n";
  page += section("SEE ALSO") + ".BR quarngame (1),\n.BR sqlcipher (1),\n.BR psql (1)\n";
  return page;
}

}  // namespace quarn::admin
