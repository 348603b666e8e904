/* The host compiler's MD5.dll links a Windows system library that Wine lacks;
   this stand-in gives the compiler the same two functions through the
   system's own hashing service. */
/* windows.h first, in a block of its own: wincrypt.h needs its types. */
#include <windows.h>

#include <stdlib.h>
#include <wincrypt.h>

/* The lowercase hex MD5 digest of the bytes, newly allocated (FreeMD5 frees
   it); null when the system cannot hash. */
char* GetMD5Digest(unsigned char* data, unsigned int length) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[16];
    DWORD digestSize = sizeof digest;
    char* text = NULL;
    if (!CryptAcquireContextA(&provider, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return NULL;
    if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) && CryptHashData(hash, data, length, 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0) && digestSize == 16 &&
        (text = (char*)malloc(33)) != NULL) {
        static const char hex[] = "0123456789abcdef";
        for (int i = 0; i < 16; ++i) {
            text[2 * i] = hex[digest[i] >> 4];
            text[2 * i + 1] = hex[digest[i] & 15];
        }
        text[32] = '\0';
    }
    if (hash) CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return text;
}

void FreeMD5Digest(char* text) {
    free(text);
}
