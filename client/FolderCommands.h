#pragma once

// halsenctl's folder commands: dir, cd, get, set, invoke, tree and wait,
// run in order on one connection.

#include <functional>
#include <string>
#include <vector>

namespace halsen
{
class Connection;

struct FolderRun
{
    // Opens the connection (and logs on); false, with the reason told,
    // when it cannot.
    std::function<bool(Connection&)> connect;
    int timeoutMs = 5000;
    int stamp = 1;
    // The command words, starting with a folder command.
    std::vector<std::string> words;
    // Values as the agent sent them, without their words.
    bool raw = false;
    // Every answer and notice as one JSON object on a line.
    bool json = false;
};

bool IsFolderCommand(const std::string& word);
// The part of halsenctl's usage text that tells the folder commands.
const char* FolderUsage();
// Runs the commands; the exit status (0 done, 1 an error reply, 2 bad
// usage, 3 the connection failed).
int RunFolderCommands(const FolderRun& run);
} // namespace halsen
