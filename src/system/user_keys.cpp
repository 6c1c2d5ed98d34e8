#include "system/user_keys.h"

#include <cstring>

namespace {
constexpr size_t mask_channels = 64;

void set_channel_mask(const char *channels, size_t size, uint64_t *mask)
{
    const size_t length = strnlen(channels, size < mask_channels ? size : mask_channels);
    for (size_t i = 0; i < length; ++i) {
        if (channels[i] == '1')
            *mask |= uint64_t{1} << i;
        else
            *mask &= ~(uint64_t{1} << i);
    }
}
}  // namespace

void set_channel_masks(user_record *user)
{
    set_channel_mask(user->localliveview, sizeof user->localliveview, &user->local_liveview_mask);
    set_channel_mask(user->localplayback, sizeof user->localplayback, &user->local_playback_mask);
    set_channel_mask(user->remoteliveview, sizeof user->remoteliveview, &user->remote_liveview_mask);
    set_channel_mask(user->remoteplayback, sizeof user->remoteplayback, &user->remote_playback_mask);
}
