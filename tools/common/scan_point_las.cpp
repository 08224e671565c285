#include "scan_point_las.hpp"

namespace morva::common {

common::LasRecord wkt_record(std::string_view wkt, std::string_view description) {
    common::LasRecord r{"LASF_Projection", 2112, std::string(description), {wkt.begin(), wkt.end()}, false};
    r.payload.push_back(0);
    return r;
}

common::LasRecord extra_bytes_record(bool with_group_size) {
    struct Dimension {
        unsigned char data_type;  // 1 unsigned char, 3 unsigned short
        const char* name;
        const char* description;
    };
    const Dimension dims[2] = {{3, "measurement_index", "index of the measurement in scan"},
                               {1, "group_size", "measurements averaged"}};
    const int count = with_group_size ? 2 : 1;
    std::vector<std::uint8_t> payload(192 * count, 0);
    for (int k = 0; k < count; ++k) {
        auto* d = payload.data() + 192 * k;
        d[2] = dims[k].data_type;
        d[3] = 0;  // options: no no-data value, minimum, maximum, scale or offset
        put_chars(d + 4, 32, dims[k].name);
        put_chars(d + 160, 32, dims[k].description);
    }
    return {"LASF_Spec", 4, "extra bytes", std::move(payload), false};
}

}  // namespace morva::common
