#pragma once
// PLACEHOLDER (replaced by the network work): the request component.
#include <cstdint>
#include <string>

class THTTPGet {
public:
    virtual ~THTTPGet() = default;
    std::string URL;
};

class Tmyhttpget : public THTTPGet {
public:
    std::string FRequestKind;
    std::int32_t FListIndex = 0;
};
