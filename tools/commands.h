// qrvtool's subcommands. Each takes the words after its name and returns the
// process's exit status.
#pragma once

#include <string>
#include <vector>

namespace exqrv::tools {

using Args = std::vector<std::string>;

int InfoCommand(const Args& args);
int MakeCommand(const Args& args);
int TextCommand(const Args& args);
int VerifyCommand(const Args& args);
int ExplodeCommand(const Args& args);
int ImplodeCommand(const Args& args);

}  // namespace exqrv::tools
