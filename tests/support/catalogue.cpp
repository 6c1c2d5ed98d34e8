#include "support/catalogue.h"

#include <cstdlib>
#include <cstring>

namespace {
// "a-b" stands for every number from a to b in rising order.
struct module_list {
    const char *module;
    const char *names;
};

const module_list lists[] = {
    {"storage", "/6100 /6101 /6102 /6103 /6104 /6105 /6106 /6107 /6108 /6109 /6200 /6201 /6202 /6203 /6204 "
                "/6205 /6206 /6207 /6208 /6209 /6210 /6222 /6220 /6221 /6223 /6224 /6225 /6226 /6227"},
    {"status", "/8000-/8011"},
    {"video", "/6000 /6001 /6002 /6010-/6019 /6098 /6999 /6998 /6997 /6996 /6090 /6091 /6092 /6093 "
              "/6112-/6118 /6120 /6119 /6122 /6124 /6126 /6128 /6121 /6125 /6129 /6123 /6127 /6130 "
              "/6132-/6154 /6157-/6168 /6170 /6169 /6171-/6178 /6180 /6179 /6181-/6186 /6094 /6095 "
              "/6189-/6195 /6131 /6196 /6197 /6198 /6096 /6097"},
    {"camera", "/2001 /2003-/2008 /2000 /2009-/2015 /2018 /2016 /2017 /2019-/2047 /2050 /2048 /2049 "
               "/2051-/2066 /2068 /2067 /2069-/2082"},
    {"record", "/6030 /6031 /6040-/6047"},
    {"network", "/7000 /7001 /7010 /7011 /7020 /7021 /7030 /7031 /7040 /7041 /7043 /7042 /7050 /7093 /7051 "
                "/7060 /7061 /7062 /7070 /7032 /7071 /7044 /7080-/7087 /7089 /7090 /7091 /7092 /7094 "
                "/7095 /7096 /7033 /7034"},
    {"stream", "/4000-/4011 /3000 /3001 /3002 /4012-/4020 /3003 /4022 /4023 /4021 /4024 /4027 /4025 /4026 "
               "/3004"},
    {"ptz", "/5000 /5001 /6050-/6054 /6056 /6055 /6057 /5002-/5012"},
    {"system", "/1000-/1013 /6070-/6073 /6080 /6081 /1014-/1018 /json /1019 /vb.htm /oem /dw.cgi /ipc /6074 "
               "/1030 /1031 /1021 /1023 /1020 /1022 /6075 /6076 /6077 /1032 /1033 /6082 /6084 /6083 "
               "/6085-/6089 /1034 /6300 /6301 /6310 /6311 /6320-/6325 /1024"},
    {"batch", "/3300-/3304"},
    {"alarm", "/6020 /6021 /6022 /6060-/6064 /6023 /6032 /6024-/6029 /6033 /6034"},
};

std::vector<std::string> expand(const char *text)
{
    std::vector<std::string> names;
    std::string all(text);
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(' ', pos);
        if (end == std::string::npos)
            end = all.size();
        std::string word = all.substr(pos, end - pos);
        pos = end + 1;
        size_t dash = word.find("-/");
        if (dash == std::string::npos) {
            names.push_back(word);
            continue;
        }
        int from = atoi(word.c_str() + 1), to = atoi(word.c_str() + dash + 2);
        for (int n = from; n <= to; ++n) {
            // A named number, not "/" + std::to_string(n): GCC 12 at -O3 reports a false overlap
            // (-Wrestrict) in the insert that operator+ makes into the temporary.
            const std::string number = std::to_string(n);
            names.push_back("/" + number);
        }
    }
    return names;
}
}  // namespace

const std::vector<catalogue_module> &web_catalogue()
{
    static const std::vector<catalogue_module> catalogue = [] {
        std::vector<catalogue_module> modules;
        for (const module_list &l : lists)
            modules.push_back({l.module, expand(l.names)});
        return modules;
    }();
    return catalogue;
}

std::vector<std::string> all_path_names()
{
    std::vector<std::string> names;
    for (const catalogue_module &m : web_catalogue())
        names.insert(names.end(), m.names.begin(), m.names.end());
    return names;
}
