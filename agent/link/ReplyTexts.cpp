#include "ReplyTexts.h"

const char* GetErrorInfo(int code)
{
    switch (code)
    {
    case 801:
        return "Error";
    case 802:
        return "Access Denied";
    case 803:
        return "Not found";
    case 804:
        return "Abort";
    case 805:
        return "Invalid argument";
    case 806:
        return "Time Out";
    default:
        return "Functional";
    }
}
