// SPDX-License-Identifier: GPL-3.0-or-later
// morvik-submit: the leaderboard's client. `morvik --submit`, `--board` and
// `--board-key` run it with the records' path and the settings file's path
// the game found, then the game's own arguments: it sends a replay and
// prints the board's verdict, asks for a ticket, or shows or keeps a key.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/run.hpp"
#include "app/submit.hpp"

int main(int argc, char** argv) {
  using namespace morvik;
  if (argc < 3) {
    std::fprintf(stderr, "morvik-submit: run by 'morvik --submit ...', which names the files it works on\n");
    return 2;
  }
  std::vector<char*> args = {const_cast<char*>("morvik")};
  for (int i = 3; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  Options o;
  if (const int status = ReadCommandLine(static_cast<int>(args.size()) - 1, args.data(), o); status >= 0)
    return status;
  if (o.submit) return SubmitCommand(o, argv[1], argv[2]);
  if (!o.board.empty()) return TicketCommand(o, argv[1], argv[2]);
  if (o.boardKeyAsked) return KeyCommand(o, argv[1], argv[2]);
  std::fprintf(stderr, "morvik-submit: only 'morvik --submit', '--board' and '--board-key' run this\n");
  return 2;
}
