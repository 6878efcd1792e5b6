#include "tests/e2e/post_tally.h"

#include <map>
#include <tuple>

namespace varenta::e2e {

int PostTally::duplicates() const {
  int total = 0;
  for (const Extra& e : extras) total += e.times;
  return total;
}

int PostTally::duplicatesOf(Phase phase) const {
  int total = 0;
  for (const Extra& e : extras)
    if (e.post->phase == phase) total += e.times;
  return total;
}

std::vector<JournaledPost> journaledPosts(const std::vector<JournalEntry>& journal) {
  std::vector<JournaledPost> posts;
  for (const JournalEntry& entry : journal) {
    if (entry.method != "POST" || !entry.path.ends_with("/lotes")) continue;
    // .../cajas/<caixa>/<endpoint>/lotes
    const std::string& path = entry.path;
    const std::size_t end = path.size() - std::string("/lotes").size();
    const std::size_t endpointAt = path.rfind('/', end - 1) + 1;
    const std::size_t caixaAt = path.rfind('/', endpointAt - 2) + 1;
    posts.push_back(
        {path.substr(endpointAt, end - endpointAt), path.substr(caixaAt, endpointAt - 1 - caixaAt), &entry});
  }
  return posts;
}

PostTally tallyPosts(const std::vector<ExpectedPost>& expected, const std::vector<JournalEntry>& journal) {
  // Posts with the same endpoint, register and text are one group: a sale resend and the sale's own
  // export post the same document, and so do a closing and its resend.
  using Key = std::tuple<std::string, std::string, std::string>;
  struct Group {
    std::vector<const ExpectedPost*> posts;
    int seen = 0;
    // Answered 2xx: a post the cloud refused, or never answered, delivered nothing.
    std::vector<std::size_t> acceptedAt{};
    bool tooLarge = false;
    void count(const JournalEntry& entry, std::size_t at) {
      ++seen;
      if (entry.status >= 200 && entry.status < 300) acceptedAt.push_back(at);
      if (entry.status == 413) tooLarge = true;
    }
  };
  std::map<Key, Group> exact;
  std::vector<std::pair<const ExpectedPost*, Group>> drawn;  // texts with a drawn number: one each
  for (const ExpectedPost& p : expected) {
    if (p.body.find("<N9>") != std::string::npos)
      drawn.push_back({&p, Group{{&p}}});
    else
      exact[{p.endpoint, p.caixa, p.body}].posts.push_back(&p);
  }

  PostTally tally;
  for (const JournaledPost& post : journaledPosts(journal)) {
    ++tally.posts;
    const auto at = static_cast<std::size_t>(post.entry - journal.data());
    const auto found = exact.find({post.endpoint, post.caixa, post.entry->body});
    if (found != exact.end()) {
      found->second.count(*post.entry, at);
      continue;
    }
    bool matched = false;
    for (auto& [p, group] : drawn) {
      if (p->endpoint == post.endpoint && p->caixa == post.caixa &&
          matchesExpected(p->body, post.entry->body)) {
        group.count(*post.entry, at);
        matched = true;
        break;
      }
    }
    if (!matched) tally.unexpected.push_back(post.caixa + " " + post.endpoint + ": " + post.entry->body);
  }

  // The closing a late cancellation owes may come as the closing export's: when its resend was not
  // judged, the closing mark goes back to that day and the day's closing is posted again in its own
  // form (the store-wide record without the resend's blank). Such a copy delivers the owed closing.
  std::map<const ExpectedPost*, Group*> groupOf;
  for (auto& [key, group] : exact)
    for (const ExpectedPost* p : group.posts) groupOf[p] = &group;
  for (const ExpectedPost& owed : expected) {
    if (owed.phase != Phase::CancellationClosingResend) continue;
    Group& group = *groupOf[&owed];
    if (group.acceptedAt.size() >= group.posts.size()) continue;
    for (const ExpectedPost& closing : expected) {
      if (closing.phase != Phase::Closing || closing.day != owed.day || closing.caixa != owed.caixa) continue;
      Group& form = *groupOf[&closing];
      if (&form == &group || form.acceptedAt.size() <= form.posts.size()) break;
      group.acceptedAt.push_back(form.acceptedAt.back());
      form.acceptedAt.pop_back();
      ++group.seen;
      --form.seen;
      break;
    }
  }

  // Missing and extra copies, reported in the order of the expected run.
  std::map<const ExpectedPost*, const Group*> shortBy;
  std::map<const ExpectedPost*, const Group*> overBy;
  const auto shortAndOver = [&](const Group& group) {
    const std::size_t want = group.posts.size();
    for (std::size_t i = group.acceptedAt.size(); i < want; ++i) shortBy[group.posts[i]] = &group;
    if (group.seen > static_cast<int>(want)) overBy[group.posts.front()] = &group;
  };
  for (const auto& [key, group] : exact) shortAndOver(group);
  for (const auto& [p, group] : drawn) shortAndOver(group);
  for (const ExpectedPost& p : expected) {
    if (const auto s = shortBy.find(&p); s != shortBy.end())
      (s->second->tooLarge ? tally.tooLarge : tally.missing).push_back(&p);
    if (const auto o = overBy.find(&p); o != overBy.end()) {
      const Group& group = *o->second;
      tally.extras.push_back({&p, group.seen - static_cast<int>(group.posts.size())});
      if (group.acceptedAt.size() > group.posts.size()) tally.acceptedAgain.push_back({&p, group.acceptedAt});
    }
  }
  return tally;
}

std::vector<std::string> marksAheadOfPosts(const Store& store, const ExpectedRun& run, const Marks& marks,
                                           const std::vector<JournalEntry>& journal) {
  std::vector<const ExpectedPost*> claimed;
  for (const ExpectedPost& p : run.posts) {
    if (p.phase == Phase::Sale && p.venda <= marks.ultVenda) claimed.push_back(&p);
    if (p.phase == Phase::Closing && p.day < marks.ultCaixa) claimed.push_back(&p);
    if (p.phase == Phase::Cancellation)
      for (const Sale& s : store.sales)
        if (s.venda == p.venda && s.lastCancellationCode() <= marks.ultCancelamento) claimed.push_back(&p);
  }
  std::vector<ExpectedPost> copies;
  for (const ExpectedPost* p : claimed) copies.push_back(*p);
  std::vector<std::string> ahead;
  for (const ExpectedPost* p : tallyPosts(copies, journal).missing) ahead.push_back(p->what);
  return ahead;
}

}  // namespace varenta::e2e
