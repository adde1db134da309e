/* The interface table of libiphlpapi.so: the MIB_IFTABLE / MIB_IFROW layout
 * (860-byte rows, little-endian, 32-bit DWORD, ULONG and BOOL) and
 * GetIfTable with its result codes. */
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint32_t DWORD;
typedef std::uint32_t ULONG;
typedef std::int32_t BOOL;
typedef std::uint8_t BYTE;
typedef char16_t WCHAR;

#define MAX_INTERFACE_NAME_LEN 256
#define MAXLEN_PHYSADDR 8
#define MAXLEN_IFDESCR 256

#define NO_ERROR 0
#define ERROR_GEN_FAILURE 31
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122

/* dwType values */
#define IF_TYPE_OTHER 1
#define IF_TYPE_ETHERNET_CSMACD 6
#define IF_TYPE_PPP 23
#define IF_TYPE_SOFTWARE_LOOPBACK 24
#define IF_TYPE_SLIP 28
#define IF_TYPE_PROP_VIRTUAL 53
#define IF_TYPE_IEEE80211 71

/* dwOperStatus values */
#define IF_OPER_STATUS_NON_OPERATIONAL 0
#define IF_OPER_STATUS_DISCONNECTED 2
#define IF_OPER_STATUS_OPERATIONAL 5

typedef struct _MIB_IFROW {
    WCHAR wszName[MAX_INTERFACE_NAME_LEN];
    DWORD dwIndex;
    DWORD dwType;
    DWORD dwMtu;
    DWORD dwSpeed;
    DWORD dwPhysAddrLen;
    BYTE bPhysAddr[MAXLEN_PHYSADDR];
    DWORD dwAdminStatus;
    DWORD dwOperStatus;
    DWORD dwLastChange;
    DWORD dwInOctets;
    DWORD dwInUcastPkts;
    DWORD dwInNUcastPkts;
    DWORD dwInDiscards;
    DWORD dwInErrors;
    DWORD dwInUnknownProtos;
    DWORD dwOutOctets;
    DWORD dwOutUcastPkts;
    DWORD dwOutNUcastPkts;
    DWORD dwOutDiscards;
    DWORD dwOutErrors;
    DWORD dwOutQLen;
    DWORD dwDescrLen;
    BYTE bDescr[MAXLEN_IFDESCR];
} MIB_IFROW;

typedef struct _MIB_IFTABLE {
    DWORD dwNumEntries;
    MIB_IFROW table[1];
} MIB_IFTABLE;

static_assert(sizeof(MIB_IFROW) == 860, "MIB_IFROW is 860 bytes");
static_assert(offsetof(MIB_IFROW, dwIndex) == 512);
static_assert(offsetof(MIB_IFROW, dwType) == 516);
static_assert(offsetof(MIB_IFROW, bPhysAddr) == 532);
static_assert(offsetof(MIB_IFROW, dwOperStatus) == 544);
static_assert(offsetof(MIB_IFROW, dwInOctets) == 552);
static_assert(offsetof(MIB_IFROW, dwOutOctets) == 576);
static_assert(offsetof(MIB_IFROW, dwDescrLen) == 600);
static_assert(offsetof(MIB_IFROW, bDescr) == 604);
static_assert(offsetof(MIB_IFTABLE, table) == 4);

/* Bytes a table of n rows takes. */
constexpr ULONG ifTableSize(ULONG rows) { return static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + rows * sizeof(MIB_IFROW)); }

extern "C" {
/* Fills pIfTable with one row per interface of this network namespace.
 * NO_ERROR; ERROR_INSUFFICIENT_BUFFER with *pdwSize set to the bytes needed;
 * ERROR_INVALID_PARAMETER without pdwSize; ERROR_GEN_FAILURE when the kernel
 * could not be asked. */
DWORD GetIfTable(MIB_IFTABLE* pIfTable, ULONG* pdwSize, BOOL bOrder);
typedef DWORD (*GetIfTableFn)(MIB_IFTABLE*, ULONG*, BOOL);
}
