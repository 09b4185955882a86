#include "http/CKelHttpSession.h"

CKelHttpSession::CKelHttpSession(const std::string& agent) : platform::InternetSession(agent) {}

CKelHttpSession::~CKelHttpSession() = default;

void CKelHttpSession::OnStatusCallback(uintptr_t, uint32_t, const void*, uint32_t) {}
