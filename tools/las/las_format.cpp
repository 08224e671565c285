#include "las_format.hpp"

#include <stdexcept>

namespace morva::las {

std::string encode_vlr(std::string_view user_id, std::uint16_t record_id, std::string_view description,
                       std::string_view payload) {
    if (payload.size() > 65535) throw std::length_error("variable-length record over 65535 bytes");
    std::string r(kVlrHeaderSize + payload.size(), '\0');
    auto* b = reinterpret_cast<unsigned char*>(r.data());
    put_chars(b + 2, 16, user_id);
    put_u16(b + 18, record_id);
    put_u16(b + 20, static_cast<std::uint16_t>(payload.size()));
    put_chars(b + 22, 32, description);
    std::memcpy(b + kVlrHeaderSize, payload.data(), payload.size());
    return r;
}

std::string wkt_vlr(std::string_view wkt, std::string_view description) {
    std::string payload(wkt);
    payload += '\0';
    return encode_vlr("LASF_Projection", 2112, description, payload);
}

std::string extra_bytes_vlr(bool with_group_size) {
    struct Dimension {
        unsigned char data_type;  // 1 unsigned char, 3 unsigned short
        const char* name;
        const char* description;
    };
    const Dimension dims[2] = {{3, "measurement_index", "index of the measurement in scan"},
                               {1, "group_size", "measurements averaged"}};
    const int count = with_group_size ? 2 : 1;
    std::string payload(192 * count, '\0');
    for (int k = 0; k < count; ++k) {
        auto* d = reinterpret_cast<unsigned char*>(payload.data()) + 192 * k;
        d[2] = dims[k].data_type;
        d[3] = 0;  // options: no no-data value, minimum, maximum, scale or offset
        put_chars(d + 4, 32, dims[k].name);
        put_chars(d + 160, 32, dims[k].description);
    }
    return encode_vlr("LASF_Spec", 4, "extra bytes", payload);
}

}  // namespace morva::las
