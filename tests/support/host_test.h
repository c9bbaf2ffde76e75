// A test fixture that gives each test a fresh executive and a host heap that
// refuses nothing, and leaves them so.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/tq_executive.h"
#include "host/vekexp.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { Restore(); }
  void TearDown() override { Restore(); }
  static const std::vector<std::string>& Errors() { return TQ_Executive::Instance().Errors(); }

 private:
  static void Restore() {
    TQ_HeapStats::FailAllocations(0);
    TQ_Executive& host = TQ_Executive::Instance();
    host.SetRootSetUpResult(std::nullopt);
    host.SetRootJacResult(std::nullopt);
    host.SetLocalEqnCountResult(std::nullopt);
    host.SetRootAssignmentStatus(0);
    host.EnableLog(false);
    host.ClearLog();
    host.Reset();
    TQ_ModelType::m_stLastGroup = 0;
  }
};
