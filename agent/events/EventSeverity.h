#pragma once

// The words of an event's severity, shared by the agent's mails and the
// management client, which tell it to people.
inline const char* EventSeverityText(unsigned long severity)
{
    switch (severity)
    {
    case 1:
        return "Error";
    case 2:
        return "Warning";
    case 3:
        return "Information";
    default:
        return "Unknown";
    }
}
