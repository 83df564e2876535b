#pragma once
// Subcommands of wyc-cli; each takes its own argv (argv[0] is the command name)
// and returns the exit status.
namespace cli {
int rewriteMain(int argc, char** argv);
int thesaurusMain(int argc, char** argv);
int initDbMain(int argc, char** argv);
int batchMain(int argc, char** argv);
int serveMain(int argc, char** argv);
} // namespace cli
