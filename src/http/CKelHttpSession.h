#pragma once
// The internet session of one page request. Status notifications are never
// switched on, so their handler has nothing to do.
#include <string>

#include "platform/net/Internet.h"

class CKelHttpSession : public platform::InternetSession {
  public:
    explicit CKelHttpSession(const std::string& agent);
    ~CKelHttpSession() override;

    void OnStatusCallback(uintptr_t context, uint32_t status, const void* info,
                          uint32_t length) override;
};
