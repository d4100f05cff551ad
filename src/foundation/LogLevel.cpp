#include "foundation/LogLevel.h"

std::wstring LogLevelTag(LogLevel level) {
    switch (level) {
        case LogLevel::Fatal:
            return L"-*  FATAL  *- ";
        case LogLevel::Error:
            return L"-*  ERROR  *- ";
        case LogLevel::Warning:
            return L"-* WARNING *- ";
        case LogLevel::Notice:
            return L"-* NOTICE  *- ";
        case LogLevel::Data:
            return L"-*  DATA   *- ";
        case LogLevel::Debug:
            return L"-*  DEBUG  *- ";
    }
    return L"-* UNKNOWN *- ";
}

std::wstring LogLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Fatal:
            return L"Fatal";
        case LogLevel::Error:
            return L"Error";
        case LogLevel::Warning:
            return L"Warning";
        case LogLevel::Notice:
            return L"Notice";
        case LogLevel::Data:
            return L"Data";
        case LogLevel::Debug:
            return L"Debug";
    }
    return L"Unknown";
}
