#include <kavvix/ScoreSetObject.h>

#include "ScoreSet.h"

#include <kavvix/modKavvix.h>

namespace Kavvix {

ScoreSetObject::ScoreSetObject(QObject *parent)
    : QObject(parent), m_scores(std::make_unique<Parsers::ScoreSet>()) {}

ScoreSetObject::~ScoreSetObject() = default;

QString ScoreSetObject::DLLVersion() const {
    return modKavvix::DLLVersion();
}

bool ScoreSetObject::DataIsValid() const {
    return m_scores->DataIsValid;
}

void ScoreSetObject::setDataIsValid(bool value) {
    m_scores->DataIsValid = value;
}

float ScoreSetObject::CurrentTotal() const {
    return m_scores->CurrentTotal;
}

void ScoreSetObject::setCurrentTotal(float value) {
    m_scores->CurrentTotal = value;
}

float ScoreSetObject::StartingScore() const {
    return m_scores->StartingScore;
}

void ScoreSetObject::setStartingScore(float value) {
    m_scores->StartingScore = value;
}

float ScoreSetObject::DiveTotal() const {
    return m_scores->DiveTotal;
}

void ScoreSetObject::setDiveTotal(float value) {
    m_scores->DiveTotal = value;
}

float ScoreSetObject::judgeScore(int index) const {
    return m_scores->JudgeScore[index];
}

void ScoreSetObject::storeJudgeScore(int index, float score) {
    m_scores->JudgeScore[index] = score;
}

float ScoreSetObject::DiveDD() const {
    return m_scores->DiveDD;
}

void ScoreSetObject::setDiveDD(float value) {
    m_scores->DiveDD = value;
}

QString ScoreSetObject::DivePosition() const {
    return m_scores->DivePosition;
}

void ScoreSetObject::setDivePosition(const QString &value) {
    m_scores->DivePosition = value;
}

QString ScoreSetObject::DiveNumber() const {
    return m_scores->DiveNumber;
}

void ScoreSetObject::setDiveNumber(const QString &value) {
    m_scores->DiveNumber = value;
}

qint16 ScoreSetObject::CurrentRound() const {
    return m_scores->CurrentRound;
}

void ScoreSetObject::setCurrentRound(qint16 value) {
    m_scores->CurrentRound = value;
}

qint16 ScoreSetObject::DiverNumber() const {
    return m_scores->DiverNumber;
}

void ScoreSetObject::setDiverNumber(qint16 value) {
    m_scores->DiverNumber = value;
}

QString ScoreSetObject::PrimaryDiver() const {
    return m_scores->PrimaryDiver;
}

void ScoreSetObject::setPrimaryDiver(const QString &value) {
    m_scores->PrimaryDiver = value;
}

QString ScoreSetObject::SynchroPartner() const {
    return m_scores->SynchroPartner;
}

void ScoreSetObject::setSynchroPartner(const QString &value) {
    m_scores->SynchroPartner = value;
}

} // namespace Kavvix
