// The scripted interface table library, loaded by the collector through
// $LINKTALLY_IPHLPAPI; tests set its rows and the results of its next calls.
#pragma once

#include "iphlpapi.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

class FakeTable : public ::testing::Test {
protected:
    testenv::ScopedEnv library{"LINKTALLY_IPHLPAPI", FAKE_IPHLPAPI};
    void* handle = ::dlopen(FAKE_IPHLPAPI, RTLD_NOW);

    void SetUp() override
    {
        ASSERT_NE(handle, nullptr) << ::dlerror();
        clearRows();
    }
    void TearDown() override { ::dlclose(handle); }

    template <class F> F call(const char* name) { return reinterpret_cast<F>(::dlsym(handle, name)); }
    void addRow(const char* name, DWORD type, DWORD oper, DWORD sent = 0, DWORD received = 0, int descrLen = -1,
                DWORD index = 0)
    {
        MIB_IFROW row {};
        std::memcpy(row.bDescr, name, std::min(std::strlen(name), sizeof row.bDescr));
        row.dwDescrLen = descrLen < 0 ? static_cast<DWORD>(std::strlen(name) + 1) : static_cast<DWORD>(descrLen);
        row.dwType = type;
        row.dwOperStatus = oper;
        row.dwOutOctets = sent;
        row.dwInOctets = received;
        row.dwIndex = index;
        call<void (*)(const MIB_IFROW*)>("fake_addRow")(&row);
    }
    void script(int result, int rowsToAdd = 0) { call<void (*)(int, int)>("fake_script")(result, rowsToAdd); }
    int calls() { return call<int (*)()>("fake_calls")(); }
    void clearRows() { call<void (*)()>("fake_reset")(); }
    // Changes a row in place: counters, and the index a re-created link gets.
    void setRow(int row, DWORD sent, DWORD received, DWORD index)
    {
        call<void (*)(int, DWORD, DWORD, DWORD)>("fake_setRow")(row, sent, received, index);
    }
};
