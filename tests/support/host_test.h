// A test fixture that gives each test a fresh executive and a host heap that
// refuses nothing, and leaves them so.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/tq_executive.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { Restore(); }
  void TearDown() override { Restore(); }
  static const std::vector<std::string>& Errors() { return TQ_Executive::Instance().Errors(); }

 private:
  static void Restore() {
    TQ_HeapStats::FailAllocations(0);
    TQ_Executive& host = TQ_Executive::Instance();
    TQ_ExecutiveTesting::SetRootSetUpResult(host, std::nullopt);
    TQ_ExecutiveTesting::SetRootJacResult(host, std::nullopt);
    TQ_ExecutiveTesting::SetLocalEqnCountResult(host, std::nullopt);
    TQ_ExecutiveTesting::SetRootAssignmentStatus(host, 0);
    TQ_ExecutiveTesting::EnableLog(host, false);
    TQ_ExecutiveTesting::ClearLog(host);
    host.Reset();
    TQ_ModelType::m_stLastGroup = 0;
  }
};
