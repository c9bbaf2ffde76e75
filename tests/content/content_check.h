// The content resource as the host reads it: 99 bytes of plain ASCII, four
// lines each ended by CR LF, the third an end tag without a start tag.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline void ExpectContentResource(std::span<const unsigned char> bytes) {
  static constexpr std::string_view kLines[] = {
      R"(<?xml version="1.0" encoding="UTF-8"?>)",
      "<VEKExpDLLRscContent>",
      "  </Model>",
      "</VEKExpDLLRscContent>",
  };
  ASSERT_EQ(bytes.size(), 99u);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    EXPECT_GT(static_cast<unsigned char>(text[i]), 0u) << "NUL at byte " << i;
    EXPECT_LT(static_cast<unsigned char>(text[i]), 128u) << "non-ASCII byte at " << i;
  }
  // Split at CR LF only: a lone LF or CR would stay inside a line and fail it.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string_view::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF: " << text.substr(start);
  ASSERT_EQ(lines.size(), 4u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], kLines[i]) << "line " << i + 1;
  }
}
