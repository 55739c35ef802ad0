#pragma once
// The debug adapter: requests of the Debug Adapter Protocol served by the same
// execution control as the IDE's debug window. A launch builds the program as
// `tolvane-cli go` does and starts debugging it; the run requests (continue,
// the steps, going back) call execution control, which runs the program on this
// thread and, between instructions, lets the adapter read what the client sent
// meanwhile (a pause, a line for IN, a disconnect), as the IDE's event loop does.
#include <cstddef>
#include <memory>

#include "rpc/Transport.h"

namespace tolvane::dap {

using rpc::Transport;

// A message body above this is refused unread.
constexpr std::size_t kMaxMessage = std::size_t{16} << 20;

class Server;

class Adapter {
 public:
  explicit Adapter(Transport& transport);
  ~Adapter();
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  // Serves requests until the client disconnects or goes away. Returns the
  // process exit status: 0.
  int Run();

 private:
  std::unique_ptr<Server> session_;
};

}  // namespace tolvane::dap
