#pragma once

#include "CObject.h"

#include <exception>
#include <string>

// The library's one exception. The text lives in m_Info as "Exception:"
// followed directly by the message; catch sites read m_Info.
class CException : public CObject, public std::exception
{
public:
    CException();
    explicit CException(const char* message);
    CException(const CException& other);
    ~CException() override;

    std::string m_Info;
};
