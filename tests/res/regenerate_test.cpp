// res/ must be exactly what tools/resgen makes: every file rebuilt, byte for byte. Run
// `build/tools/resgen/resgen res` and commit the result after changing the generator.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resgen.h"

namespace {

TEST(Regenerate, EveryFileMatchesResByteForByte) {
    std::vector<std::string> names;
    for (const ResourceFile& file : make_all_resources()) {
        names.push_back(file.name);
        std::ifstream in("res/" + file.name, std::ios::binary);
        const std::vector<uint8_t> committed(std::istreambuf_iterator<char>(in), {});
        ASSERT_FALSE(committed.empty()) << "res/" << file.name << " is missing";
        EXPECT_EQ(file.bytes.size(), committed.size()) << file.name;
        EXPECT_TRUE(file.bytes == committed) << "res/" << file.name << " differs from resgen's";
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"pumpkin.obj", "pumpkin.mtl", "pumpkin.pcx", "cube.obj",
                                        "cube.mtl", "cube.pcx", "tunnel.pcx", "brumo.mod"}));
}

}  // namespace
