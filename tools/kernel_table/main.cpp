// Generates the head-related kernel table that Virtual3D reads (resource
// "BINHIR" 121 of the plug-in, linked data of the native build) from the MIT
// KEMAR measurements (MIT Media Lab, Gardner and Martin, 1994) that Debian's
// libmysofa1 installs, diffuse-field equalised.
//   morv_kernel_table OUT.bin [SOFA_FILE]

#include <cinttypes>
#include <cstdio>
#include <string>

#include "tools/kernel_table/kernel_table_builder.h"
#include "tools/kernel_table/measured_set.h"

namespace {

const char* const kDefaultSet = "/usr/share/libmysofa/MIT_KEMAR_normal_pinna.sofa";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT.bin [SOFA_FILE]\n", argv[0]);
        return 2;
    }
    const std::string source = argc == 3 ? argv[2] : kDefaultSet;
    const MeasuredSet set(source);
    const KernelTableBuilder table(set);
    if (!table.ok()) {
        std::fprintf(stderr, "morv_kernel_table: %s\n", table.error().c_str());
        return 1;
    }
    const std::string out = argv[1];
    const std::string partial = out + ".partial";
    FILE* file = std::fopen(partial.c_str(), "wb");
    const std::vector<uint8_t>& bytes = table.bytes();
    bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) written = std::fclose(file) == 0 && written;
    if (!written || std::rename(partial.c_str(), out.c_str()) != 0) {
        std::fprintf(stderr, "morv_kernel_table: cannot write %s\n", out.c_str());
        std::remove(partial.c_str());
        return 1;
    }
    std::printf("kernel table %s: %zu bytes from %d of %d measurements, diffuse-field equalised "
                "(largest lift %.1f dB, largest tap %.4f, %d leading taps dropped, %d directions cut by up to %.2f dB to fit), smallest energy share %.4f, "
                "checksum %016" PRIx64 "\n",
                out.c_str(), bytes.size(), table.distinctMeasurements(), set.count(), table.largestLiftDb(),
                table.largestTap(), table.leadingTapsDropped(), table.attenuatedDirections(), table.largestCutDb(),
                table.smallestEnergyShare(), tableChecksum(bytes.data(), bytes.size()));
    return 0;
}
