#pragma once
// `wyc-server admin ...`: an operator's commands against the same store the
// instances use (they may keep running).
//   show ACCOUNT                       the account, its flags and its ledger
//   grant ACCOUNT POINTS REASON...     add points (a ledger line with the reason)
//   take ACCOUNT POINTS REASON...      take points, never below zero
//   disable ACCOUNT | enable ACCOUNT   no login, points or shares while disabled
//   unlock ACCOUNT                     lift the account's login throttles
//   password ACCOUNT                   a new password, read from the first line
//                                      of standard input; ends every login token
//   ban ACCOUNT | unban ACCOUNT        refuse (or allow again) its shares
//   pairs list [FILTER] [--limit N]    shared pairs, newest first
//   pairs delete FILTER                FILTER: --id N, --sharer ID, --word W
// ACCOUNT is a user id or an account name (digits are tried as an id first).
#include <iosfwd>
#include <string>
#include <vector>

namespace wycserver {

class Storage;

// Runs one command on the store; the exit status (0 done, 1 refused or
// failed, 2 a wrong command line).
int runAdminCommand(Storage& store, const std::vector<std::string>& args, std::istream& in,
                    std::ostream& out, std::ostream& err);

// The whole of `wyc-server admin ARGS`: --data FILE or --database URI name the
// store (default: wyc-server.db), then the command.
int runAdmin(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err);

std::string adminUsage();

} // namespace wycserver
