#include "Sha256.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

namespace digest {

std::string Sha256Hex(std::string_view bytes, std::string &failure)
{
	unsigned char digest[EVP_MAX_MD_SIZE];
	unsigned int length = 0;
	std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
	if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
	    EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
	    EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
		char text[256] = "no reason given";
		if (unsigned long error = ERR_get_error(); error != 0)
			ERR_error_string_n(error, text, sizeof text);
		failure = std::string("SHA-256: ") + text;
		return "";
	}
	static const char kHex[] = "0123456789abcdef";
	std::string hex;
	for (unsigned int i = 0; i < length; i++) {
		hex += kHex[digest[i] >> 4];
		hex += kHex[digest[i] & 0xF];
	}
	return hex;
}

} // namespace digest
