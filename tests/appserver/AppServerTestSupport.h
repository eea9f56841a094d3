#pragma once
// Shared bits of the application server tests (process with its own QApplication).

#include "CAppServer.h"

#include <gtest/gtest.h>

// Every test starts and ends without a server, so no test leaks one into the next.
class AppServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CAppServer::s_singleton, nullptr); }
    void TearDown() override
    {
        while (CAppServer::s_singleton)
            CAppServer::s_singleton->release();
    }
};
