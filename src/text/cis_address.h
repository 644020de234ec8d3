#pragma once
// FindCISAdress: splits a name-and-address text as found in message headers
// (the text after "Fm: " or "To: " in a capture, or a mail header's address
// text) into a name and an address. The importers split headers with it and
// the person merge repairs malformed person addresses with it.
//
// Mode 1 takes only numeric forum addresses ("John Smith 12345,678"); any
// other text is a name. Mode 2 also takes gateway addresses: the text after
// "CSINET", or the last word of the text ("John Smith INTERNET:jsmith" gives
// John Smith and jsmith).

#include <cstddef>
#include <string>
#include <string_view>

namespace qb::text {

struct NameAddress {
  std::string name;
  std::string address;
};

// The name is cut to nameLen and the address to addressLen characters.
NameAddress FindCISAdress(int mode, std::string_view text, std::size_t nameLen = 60,
                          std::size_t addressLen = 60);

}  // namespace qb::text
