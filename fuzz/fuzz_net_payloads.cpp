// Fuzzes the name and client-list payload parsers: names always come out terminated and accepted only
// when well formed; lists keep at most eight whole records and read back the same once written again.
#include <Yandorix.h>
#include "FuzzSupport.h"
#include "70_NetWire.h"
#include <cstring>

using ydxfuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const char* bytes = reinterpret_cast<const char*>(data);

  char name[kNetNameBytes];
  NetNameStatus status = NetParseName(bytes, (Uint32)size, name);
  size_t length = strnlen(name, sizeof name);
  Require(length < sizeof name, "a name came out without its terminator");
  Require(size == 0 || memcmp(name, bytes, length) == 0, "the name is not the payload's start");
  if (status == kNetNameOk)
    Require(size >= 1 && size <= kNetNameBytes && bytes[size - 1] == 0 && length > 0 && length == strlen(bytes),
            "a malformed name was accepted");

  sClientInfo list[kNetMaxClients];
  int count = NetParseClientList(bytes, (Uint32)size, list);
  Require(count >= 0 && count <= (int)kNetMaxClients, "more than eight records");
  Require((size_t)count * kNetClientRecordBytes <= size, "a record beyond the payload");
  for (int i = 0; i < count; i++) Require(strnlen(list[i].name, 16) < 16, "a record's name without terminator");
  unsigned char written[kNetMaxClients * kNetClientRecordBytes];
  Uint32 writtenSize = NetWriteClientList(list, count, written);
  Require(writtenSize == (Uint32)count * kNetClientRecordBytes, "written size");
  sClientInfo again[kNetMaxClients];
  Require(NetParseClientList(reinterpret_cast<char*>(written), writtenSize, again) == count, "count after writing");
  for (int i = 0; i < count; i++)
    Require(strcmp(again[i].name, list[i].name) == 0 && again[i].ip == list[i].ip && again[i].ping == list[i].ping &&
                again[i].avgping == list[i].avgping,
            "a record changed once written and read again");
  return 0;
}
