#pragma once

class CBaseSceen {
public:
    virtual ~CBaseSceen() = default;
};
