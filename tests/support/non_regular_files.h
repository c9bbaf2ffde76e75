// Files that are no regular files, made at a path for the loader's tests: a FIFO and a socket.
#pragma once

#if !defined(_WIN32)
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace non_regular_files {

inline void MakeFifo(const std::filesystem::path& path) { EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path; }

// A socket's address holds a short path only: the socket is bound in the temporary directory
// under a short name and then moved to `path`.
inline void MakeSocket(const std::filesystem::path& path) {
  static int made = 0;
  const std::string bound = "/tmp/tqsocket_" + std::to_string(getpid()) + "_" + std::to_string(++made);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", bound.c_str());
  std::remove(bound.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << bound;
  close(fd);  // the socket's file stays
  std::error_code ec;
  std::filesystem::rename(bound, path, ec);
  EXPECT_FALSE(ec) << bound << " to " << path << ": " << ec.message();
}

}  // namespace non_regular_files
#endif
