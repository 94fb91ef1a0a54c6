#pragma once
// Values the client and the platform server must agree on. They are kept in
// pieces and assembled at run time so that they never appear as one string in
// the binary.

#include <string>

namespace orvane {

// Key material for the appSecret handed out at login: MD5(material + appId +
// nonce) in lower-case hex gives the AES-128-CBC key (first 16 digits) and IV
// (next 16 digits).
inline std::string AppSecretKeyMaterial()
{
    // 32 characters; the platform encrypts every appSecret with this one.
    static const char a[] = "A41F07D9";
    static const char b[] = "C2E35B80";
    static const char c[] = "61F4D7A9";
    static const char d[] = "2C0E3B58";
    return std::string(a) + b + c + d;
}

// Salt for signing update-check requests: a 16-character piece and a
// 3-character piece, 19 characters together.
inline std::string UpdateSalt()
{
    static const char first16[] = "oRvUpd@t3S4lt#9x";
    static const char last3[] = "Q7z";
    return std::string(first16) + last3;
}

} // namespace orvane
